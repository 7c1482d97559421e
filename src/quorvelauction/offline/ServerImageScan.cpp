#include "quorvelauction/offline/ServerImageScan.h"

namespace quorvelauction::offline {

void Server::ImageScan::start() {
  // The server object lives for the whole process, so the thread needs
  // nothing of this object beyond the scan itself.
  std::thread([] { Server::cacheUserImages(); }).detach();
}

void Server::ImageScan::run() { Server::cacheUserImages(); }

}  // namespace quorvelauction::offline
