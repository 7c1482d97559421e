#pragma once

#include <string>

namespace quorvelauction::offline {

// The local server and the state its connection threads share.
class Server {
 public:
  // Opens every program data file through the scrambling streams.
  class CryptedStreams;

  // The installation folder, ending with the path separator. Set once by the
  // start-up before any other thread runs.
  static std::string programPath;
};

}  // namespace quorvelauction::offline
