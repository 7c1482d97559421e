#pragma once

#include <string>

#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// The file stream factory of the server: every file goes through the
// scrambling streams, so its path decides its storage form.
class Server::CryptedStreams : public common::FileStreamFactory {
 public:
  CryptedStreams() = default;
  // The server that made it; kept, not used.
  explicit CryptedStreams(Server& server) : server_(&server) {}

  // Creates GlobalConfig::getUserPath() + path with its parents; an existing
  // folder and a failure are both accepted silently.
  void mkdirs(const std::string& path) override;
  platform::OutputStreamPtr createFileOutputStream(const std::string& path) override;
  platform::OutputStreamPtr createFileOutputStream(const platform::File& file) override;
  platform::InputStreamPtr createFileInputStream(const std::string& path) override;
  platform::InputStreamPtr createFileInputStream(const platform::File& file) override;

 private:
  [[maybe_unused]] Server* server_ = nullptr;
};

}  // namespace quorvelauction::offline
