#pragma once

#include <cstdint>
#include <string>

#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// One of the user's images: its number (the image files are named after it)
// and its type ("swf", the type of its info file, or "Standard").
class Server::ImageInfo {
 public:
  int32_t id = 0;
  std::string type;
};

}  // namespace quorvelauction::offline
