#include "quorvelauction/offline/ServerNewestFirst.h"

namespace quorvelauction::offline {

int Server::NewestFirst::compare(const platform::File& a, const platform::File& b) const {
  return compareTimes(a.lastModified(), b.lastModified());
}

}  // namespace quorvelauction::offline
