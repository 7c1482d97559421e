#pragma once

#include <thread>

#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// Runs the scan of the user's image folder once on a thread of its own; the
// start-up does not wait for it.
class Server::ImageScan {
 public:
  explicit ImageScan(Server& server) : server_(server) {}
  // Starts the detached thread.
  void start();
  void run();

 private:
  // The server it scans for; the scan itself reads only the server's
  // process-wide state.
  [[maybe_unused]] Server& server_;
};

}  // namespace quorvelauction::offline
