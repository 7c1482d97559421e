#pragma once

#include "platform/File.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// Compares two files by last change, the later first; equal times compare
// equal. Returns negative, zero or positive.
class Server::NewestFirst {
 public:
  int compare(const platform::File& a, const platform::File& b) const;
  // The strict order for sorting.
  bool operator()(const platform::File& a, const platform::File& b) const {
    return compare(a, b) < 0;
  }
};

}  // namespace quorvelauction::offline
