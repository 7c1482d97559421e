// Inserting another template's output from a template.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/StringWriter.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/VelocityIncluder.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"
#include "vtl/Velocity.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::common::VelocityIncluder;

namespace {

// Templates lie plain below an "images" folder, which the loader reads as is.
class VelocityIncluderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = dir_.path() + "app/images/";
    std::filesystem::create_directories(app_ + "auction");
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    GlobalConfig::load(app_, app_);
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
    quorvelauction::offline::CryptedResourceLoader::registerClass();
    vtl::Velocity::setProperty("resource.loader", "cryptedfile");
    vtl::Velocity::setProperty("cryptedfile.resource.loader.class", "quorvelauction.offline.CryptedResourceLoader");
    vtl::Velocity::setProperty("cryptedfile.resource.loader.cache", "false");
    vtl::Velocity::init();
  }
  void TearDown() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)), true));
    platform::System::setErr(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(2)), true));
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
  }
  void write(const std::string& name, const std::string& text) { std::ofstream(app_ + name) << text; }

  testsupport::TempDir dir_;
  std::string app_;
  quorvelauction::offline::Server::CryptedStreams factory_;
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
  vtl::Context context_;
};

TEST_F(VelocityIncluderTest, RendersPathPlusNameWithItsContext) {
  write("auction/add.html", "Zusatz f\xfcr $who");
  write("auction/empty.html", "");
  context_.put("who", vtl::Value("Ann"));
  VelocityIncluder includer(context_, "auction/");
  EXPECT_EQ(includer.include("add.html"), "Zusatz f\xc3\xbcr Ann");
  EXPECT_EQ(includer.include("empty.html"), "");
  EXPECT_EQ(err_.bytes(), "");
}

TEST_F(VelocityIncluderTest, FailuresGiveTheirMessageAndATrace) {
  write("auction/bad.html", "#if(");
  VelocityIncluder includer(context_, "auction/");
  EXPECT_EQ(includer.include("missing.html"), "auction/missing.html");
  std::optional<std::string> parse = includer.include("bad.html");
  ASSERT_TRUE(parse);
  EXPECT_NE(parse->find("auction/bad.html"), std::string::npos) << *parse;
  std::string trace = err_.bytes();
  EXPECT_NE(trace.find("ResourceNotFoundException"), std::string::npos) << trace;
  EXPECT_NE(trace.find("ParseErrorException"), std::string::npos) << trace;
}

TEST_F(VelocityIncluderTest, TemplatesCallItFromTheContext) {
  write("page.html", "<$includer.include(\"part.html\")>");
  write("part.html", "part $n");
  write("self.html", "x$includer.include(\"self.html\")");
  context_.put("n", vtl::Value(3));
  auto includer = std::make_shared<VelocityIncluder>(context_, "");
  context_.put("includer", vtl::Value(includer));
  EXPECT_EQ(includer->include("page.html"), "<part 3>");
  // A template that includes itself ends at the engine's nesting bound.
  std::optional<std::string> runaway = includer->include("self.html");
  ASSERT_TRUE(runaway);
  EXPECT_EQ(runaway->substr(0, 3), "xxx");
  EXPECT_NE(runaway->find("nest deeper"), std::string::npos) << runaway->substr(0, 200);
}

}  // namespace
