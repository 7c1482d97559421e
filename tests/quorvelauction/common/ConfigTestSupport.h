#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/SiteConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"

namespace configtest {

// The server's scrambling factory, counting the input streams it opens.
class CountingStreams : public quorvelauction::offline::Server::CryptedStreams {
 public:
  platform::InputStreamPtr createFileInputStream(const std::string& path) override {
    ++opened;
    return CryptedStreams::createFileInputStream(path);
  }
  platform::InputStreamPtr createFileInputStream(const platform::File& file) override {
    ++opened;
    return CryptedStreams::createFileInputStream(file);
  }
  std::atomic<int> opened{0};
};

// An installation in a temporary folder: application folder below
// "htdocs/app/" (so its files are stored scrambled), output captured.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    quorvelauction::offline::Server::programPath = dir_.file("program/");
    quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
    app_ = dir_.file("htdocs/app/");
    std::filesystem::create_directories(app_);
    quorvelauction::common::GlobalConfig::load(app_, dir_.file("user/"));
    quorvelauction::common::Config::clear();
    quorvelauction::common::SiteConfig::clear();
    out_.reset();
    factory_.opened = 0;
  }
  void TearDown() override {
    quorvelauction::common::Config::clear();
    quorvelauction::common::SiteConfig::clear();
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)), true));
    platform::System::setErr(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(2)), true));
    quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(nullptr);
    quorvelauction::offline::Server::programPath.clear();
  }

  // Writes plain bytes through the factory: scrambled where the path says so.
  std::string store(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto out = factory_.createFileOutputStream(path);
    out->write(bytes.data(), 0, static_cast<int>(bytes.size()));
    out->close();
    return path;
  }
  // The plain content of a file read through the factory.
  std::string plain(const std::string& path) {
    auto in = factory_.CryptedStreams::createFileInputStream(path);
    std::string bytes = in->readAll();
    in->close();
    return bytes;
  }
  static int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  testsupport::TempDir dir_;
  CountingStreams factory_;
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
  std::string app_;
};

}  // namespace configtest
