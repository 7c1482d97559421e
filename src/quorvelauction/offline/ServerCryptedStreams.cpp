#include "quorvelauction/offline/ServerCryptedStreams.h"

#include "platform/File.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"

namespace quorvelauction::offline {

void Server::CryptedStreams::mkdirs(const std::string& path) {
  platform::File(common::GlobalConfig::getUserPath() + path).mkdirs();
}

platform::OutputStreamPtr Server::CryptedStreams::createFileOutputStream(const std::string& path) {
  return std::make_unique<CryptedFileOutputStream>(path);
}

platform::OutputStreamPtr Server::CryptedStreams::createFileOutputStream(const platform::File& file) {
  return std::make_unique<CryptedFileOutputStream>(file);
}

platform::InputStreamPtr Server::CryptedStreams::createFileInputStream(const std::string& path) {
  return std::make_unique<CryptedFileInputStream>(path);
}

platform::InputStreamPtr Server::CryptedStreams::createFileInputStream(const platform::File& file) {
  return std::make_unique<CryptedFileInputStream>(file);
}

}  // namespace quorvelauction::offline
