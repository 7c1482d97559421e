#include "quorvelauction/offline/ServerNewestFirst.h"

namespace quorvelauction::offline {

int Server::NewestFirst::compare(const platform::File& a, const platform::File& b) const {
  const int64_t ta = a.lastModified();
  const int64_t tb = b.lastModified();
  if (ta > tb) return -1;
  if (ta < tb) return 1;
  return 0;
}

}  // namespace quorvelauction::offline
