#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>

#include "support/OnlineService.h"

namespace testsupport {

// The transfer servlet played by a Java program (tests/fakes/ServletPeer.java)
// that reads and writes the bodies with the platform's own object streams.
// handler() serves it on the stand-in service's port 80.
class ServletPeer {
 public:
  ServletPeer();  // starts the program
  ~ServletPeer();
  ServletPeer(const ServletPeer&) = delete;
  ServletPeer& operator=(const ServletPeer&) = delete;

  // The peer's reply body to one request body; one exchange at a time.
  std::string exchange(const std::string& body);
  OnlineService::HttpHandler handler();

 private:
  std::mutex mutex_;
  pid_t pid_ = -1;
  int toPeer_ = -1;
  int fromPeer_ = -1;
};

}  // namespace testsupport
