#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/CaptureOut.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/offline/OfflineImageHelper.h"
#include "quorvelauction/offline/Server.h"

using Capture = testsupport::CaptureOut;
using quorvelauction::offline::OfflineImageHelper;
using quorvelauction::offline::Server;

namespace {

class OfflineImageHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Server::programPath = std::string(QA_BINARY_DIR) + "/";
    Server::programName = "fake_companion";
    ASSERT_TRUE(platform::File(Server::programPath + "fake_companion").exists())
        << "build the fake_companion program first";
    setenv("QA_COMPANION_LOG", log().c_str(), 1);
  }
  void TearDown() override { unsetenv("QA_COMPANION_LOG"); }
  std::string log() const { return installation.userPath() + "companion.log"; }
  std::string user() const { return installation.userPath(); }

  auctiontest::Installation installation;
  OfflineImageHelper helper;
};

}  // namespace

TEST_F(OfflineImageHelperTest, ScaleCommandTurnsTheSizesForQuarterTurns) {
  const std::string prefix = Server::programPath + "fake_companion scale*" + user() + "images/5.jpg*" +
                             user() + "images/5-90.jpg*";
  const std::pair<int32_t, const char*> cases[] = {
      {90, "480*640*90"}, {-90, "480*640*270"}, {270, "480*640*270"},
      {0, "640*480*0"},   {180, "640*480*180"}, {-45, "640*480*-45"},
  };
  for (auto [rotation, tail] : cases)
    EXPECT_EQ(OfflineImageHelper::scaleCommand("images/5.jpg", "images/5-90.jpg", 640, 480, rotation),
              prefix + tail)
        << rotation;
}

TEST_F(OfflineImageHelperTest, ScaleRunsTheCompanionAndWaits) {
  Capture out;
  helper.scaleImage("images/5.jpg", "images/5v.jpg", 400, 300, 0, true, 0.5f);
  helper.scaleImage("images/5.jpg", "images/5-90.jpg", 640, 480, -90, false);
  std::string command1 = OfflineImageHelper::scaleCommand("images/5.jpg", "images/5v.jpg", 400, 300, 0);
  std::string command2 = OfflineImageHelper::scaleCommand("images/5.jpg", "images/5-90.jpg", 640, 480, -90);
  EXPECT_EQ(testsupport::TempDir::read(log()), command1 + "\n" + command2 + "\n");
  EXPECT_EQ(out.text(), "scaleImage command: " + command1 + "\nscaleImage command: " + command2 + "\n");
  // The companion was done before scaleImage returned.
  EXPECT_TRUE(installation.exists("images/5v.jpg"));
  EXPECT_EQ(helper.getSize("images/5-90.jpg"), std::make_pair(480, 640));
}

TEST_F(OfflineImageHelperTest, MissingCompanionFailsToStart) {
  Server::programName = "no_such_companion";
  Capture out;
  EXPECT_THROW(helper.scaleImage("images/1.jpg", "images/1v.jpg", 1, 1, 0, false), platform::IOException);
}

TEST_F(OfflineImageHelperTest, SizeFromTheInformationFile) {
  installation.write("images/12.jpg.info", "Ebay\n640\n480\n");
  Capture out;
  EXPECT_EQ(helper.getSize("sub/12.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(helper.getSize("C:\\pics\\12.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(helper.getSize("13.jpg"), std::make_pair(400, 300));
  EXPECT_EQ(out.text(), "getSize: " + user() + "images/12.jpg.info\ngetSize: " + user() +
                            "images/12.jpg.info\ngetSize: " + user() + "images/13.jpg.info\n");

  const char* broken[] = {"Ebay\n 640\n480\n", "Ebay\n640\n", "", "Ebay\nwide\n480\n"};
  for (const char* content : broken) {
    installation.write("images/14.jpg.info", content);
    EXPECT_THROW(helper.getSize("14.jpg"), platform::NumberFormatException) << content;
  }
}

TEST_F(OfflineImageHelperTest, TypeOfAUserImage) {
  struct Case {
    const char* info;  // nullptr: no information file
    bool movie;
    const char* type;
  } cases[] = {
      {"Ebay\n1\n1\n", true, "swf"},   {"\n1\n1\n", false, "Standard"},
      {"   \n", false, "Standard"},     {"  Ebay \n", false, "Ebay"},
      {"", false, "Standard"},          {nullptr, false, "Standard"},
      {"Thumb", false, "Thumb"},
  };
  int id = 1;
  for (const Case& c : cases) {
    if (c.info) installation.write("images/" + std::to_string(id) + ".jpg.info", c.info);
    if (c.movie) installation.write("images/" + std::to_string(id) + ".swf", "movie");
    EXPECT_EQ(OfflineImageHelper::getType(id), c.type) << id;
    ++id;
  }
}

TEST_F(OfflineImageHelperTest, OverlaysChangeNothing) {
  installation.write("images/3e.jpg", "picture");
  helper.overlayImage("images/3e.jpg", "WEB-INF/auction_de/new.png");
  helper.overlayImage("images/3e.jpg", "WEB-INF/auction_de/new.png", 0.5f);
  EXPECT_EQ(testsupport::TempDir::read(user() + "images/3e.jpg"), "picture");
  EXPECT_FALSE(platform::File(log()).exists());
}
