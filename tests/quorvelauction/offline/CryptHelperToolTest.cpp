#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/offline/CryptHelper.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/Server.h"
#include "support/TempDir.h"

using namespace quorvelauction::offline;
using testsupport::TempDir;

namespace {

class CryptTool : public ::testing::Test {
 protected:
  void SetUp() override {
    Server::programPath = dir_.file("program/");
    std::filesystem::create_directories(Server::programPath);
    for (const auto& [name, bytes] : files_) dir_.write(name, bytes);
    platform::System::setOut(std::make_shared<platform::PrintStream>(log_, false));
  }
  void TearDown() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)),
        true));
    Server::programPath.clear();
  }

  void run() { CryptHelper::main({dir_.file("htdocs")}); }
  std::string stored(const std::string& name) const { return TempDir::read(dir_.file(name)); }

  TempDir dir_;
  platform::ByteArrayOutputStream log_;
  const std::map<std::string, std::string> files_ = {
      {"htdocs/index.html", "<html>start</html>"},
      {"htdocs/app/WEB-INF/global.properties", "server.host=example\n"},
      {"htdocs/app/WEB-INF/auction_de/config/config.properties", "ebayApi.SiteId=77\n"},
      {"htdocs/app/images/12.jpg", "JPEG"},
      {"htdocs/app/sounds/1.mp3", "MP3"},
  };
};

}  // namespace

TEST_F(CryptTool, ScramblesEligibleFilesAtEveryDepthAndTwiceRestores) {
  run();
  for (const auto& [name, bytes] : files_) {
    bool plainStorage = name.find("images") != std::string::npos || name.find("sounds") != std::string::npos;
    if (plainStorage) {
      EXPECT_EQ(stored(name), bytes) << name;
    } else {
      EXPECT_NE(stored(name), bytes) << name;
      EXPECT_EQ(stored(name).size(), bytes.size()) << name;
    }
    EXPECT_EQ(CryptedFileInputStream(dir_.file(name)).readAll(), bytes) << name;
    EXPECT_FALSE(std::filesystem::exists(dir_.file(name + ".original"))) << name;
  }
  EXPECT_NE(log_.bytes().find("crypting file " + dir_.file("htdocs/app/WEB-INF/auction_de/config/config.properties") + "\n"),
            std::string::npos)
      << log_.bytes();
  EXPECT_EQ(log_.bytes().find("12.jpg"), std::string::npos);

  run();
  for (const auto& [name, bytes] : files_) EXPECT_EQ(stored(name), bytes) << name;
}

TEST_F(CryptTool, DontCryptFileLeavesTheTreeAlone) {
  dir_.write("program/dont_crypt.txt", "");
  run();
  for (const auto& [name, bytes] : files_) EXPECT_EQ(stored(name), bytes) << name;
  EXPECT_EQ(log_.bytes(), "");
}

TEST_F(CryptTool, MissingOrWrongArgumentFails) {
  EXPECT_THROW(CryptHelper::main({}), platform::IllegalArgumentException);
  EXPECT_THROW(CryptHelper::main({dir_.file("no-such-folder")}), platform::IOException);
  EXPECT_THROW(CryptHelper::main({dir_.file("htdocs/index.html")}), platform::IOException);
}
