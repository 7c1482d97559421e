#pragma once

#include "platform/File.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// Compares two files by last change, the later first; equal times compare
// equal. Returns negative, zero or positive.
class Server::NewestFirst {
 public:
  int compare(const platform::File& a, const platform::File& b) const;
  // The same order on change times already read.
  static int compareTimes(int64_t a, int64_t b) { return a > b ? -1 : (a < b ? 1 : 0); }
  // The strict order for sorting.
  bool operator()(const platform::File& a, const platform::File& b) const {
    return compare(a, b) < 0;
  }
};

}  // namespace quorvelauction::offline
