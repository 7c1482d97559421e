#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"

using quorvelauction::common::FileStreamFactory;
using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::Server;
using testsupport::TempDir;

namespace {

class GlobalConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Server::programPath = dir_.file("program/");
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(log_, false));
  }
  void TearDown() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)),
        true));
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
    Server::programPath.clear();
  }

  // Writes global.properties through the factory, scrambled as below htdocs.
  void writeSettings(const std::string& app, const std::string& text) {
    std::filesystem::create_directories(app + "WEB-INF");
    auto out = factory_.createFileOutputStream(app + "WEB-INF/global.properties");
    out->write(text);
    out->close();
  }

  TempDir dir_;
  Server::CryptedStreams factory_;
  platform::ByteArrayOutputStream log_;
};

}  // namespace

TEST_F(GlobalConfigTest, LoadReadsSettingsThroughTheFactory) {
  const std::string app = dir_.file("htdocs/app/");
  writeSettings(app, "server.host = service.example\ndomains=auction_de, auction_at\n");
  ASSERT_NE(TempDir::read(app + "WEB-INF/global.properties").substr(0, 6), "server") << "stored scrambled";
  GlobalConfig::load(app, dir_.file("user/"));
  EXPECT_EQ(GlobalConfig::getProperty("server.host"), "service.example");
  EXPECT_EQ(GlobalConfig::getProperty("domains"), "auction_de, auction_at");
  EXPECT_EQ(GlobalConfig::getProperty("defaultDomain"), std::nullopt);
  EXPECT_EQ(GlobalConfig::getPath(), app);
  EXPECT_EQ(GlobalConfig::getUserPath(), dir_.file("user/"));
  EXPECT_EQ(log_.bytes(), "");
}

TEST_F(GlobalConfigTest, MissingFileGivesOneLineAndEmptySettings) {
  writeSettings(dir_.file("old/"), "server.host=old\n");
  GlobalConfig::load(dir_.file("old/"), dir_.file("user/"));
  ASSERT_EQ(GlobalConfig::getProperty("server.host"), "old");

  const std::string app = dir_.file("htdocs/app/");
  EXPECT_NO_THROW(GlobalConfig::load(app, dir_.file("user/")));
  EXPECT_EQ(log_.bytes(), "can't read global.properties file " + app + "WEB-INF/global.properties\n");
  EXPECT_EQ(GlobalConfig::getProperty("server.host"), std::nullopt) << "every load starts a new table";
  EXPECT_EQ(GlobalConfig::getPath(), app);
}

TEST_F(GlobalConfigTest, MalformedSettingsFail) {
  const std::string app = dir_.file("htdocs/app/");
  writeSettings(app, "server.host=h\nbad=\\u12x4\n");
  EXPECT_THROW(GlobalConfig::load(app, dir_.file("user/")), platform::IllegalArgumentException);
  EXPECT_EQ(GlobalConfig::getProperty("server.host"), "h");
}

TEST_F(GlobalConfigTest, StreamsNeedAnInstalledFactory) {
  GlobalConfig::setFileStreamFactoryHelper(nullptr);
  EXPECT_EQ(GlobalConfig::getFileStreamFactory(), nullptr);
  EXPECT_THROW(GlobalConfig::createFileInputStream(dir_.file("x")), platform::IllegalStateException);
  EXPECT_THROW(GlobalConfig::createFileOutputStream(platform::File(dir_.file("x"))),
               platform::IllegalStateException);
  GlobalConfig::setFileStreamFactoryHelper(&factory_);
  EXPECT_EQ(GlobalConfig::getFileStreamFactory(), &factory_);
}

TEST(GlobalConfigCryptId, IsItsOwnInverseAndKeepsTheLowBits) {
  const int32_t values[] = {0, 1, 31, 32, 33, -1, -32, 12345678, 10000000, INT_MAX, INT_MIN};
  for (int32_t n : values) {
    int32_t once = GlobalConfig::cryptId(n);
    EXPECT_EQ(GlobalConfig::cryptId(once), n) << n;
    EXPECT_EQ(once & 31, n & 31) << n;
  }
  std::set<int32_t> masks;
  for (int32_t n = 0; n < 32; ++n) {
    int32_t mask = GlobalConfig::cryptId(n) ^ n;
    EXPECT_GE(mask, 0) << n;
    masks.insert(mask);
  }
  EXPECT_GT(masks.size(), 28u) << "the masks differ from each other";
}

TEST(GlobalConfigCryptId, MasksNeverChange) {
  // Stored auction folders are named after these values.
  EXPECT_EQ(GlobalConfig::cryptId(0), 1367444800);
  EXPECT_EQ(GlobalConfig::cryptId(1), 1047651489);
  EXPECT_EQ(GlobalConfig::cryptId(31), 1568094495);
  EXPECT_EQ(GlobalConfig::cryptId(12345678), 906304686);
}
