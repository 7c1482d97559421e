#pragma once

#include <string>

#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/FileOutputStream.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "support/TempDir.h"

namespace auctiontest {

// Opens files as they are, creating folders below the user folder.
class PlainFiles : public quorvelauction::common::FileStreamFactory {
 public:
  void mkdirs(const std::string& path) override {
    platform::File(quorvelauction::common::GlobalConfig::getUserPath() + path).mkdirs();
  }
  platform::OutputStreamPtr createFileOutputStream(const std::string& path) override {
    return std::make_unique<platform::FileOutputStream>(path);
  }
  platform::OutputStreamPtr createFileOutputStream(const platform::File& file) override {
    return std::make_unique<platform::FileOutputStream>(file);
  }
  platform::InputStreamPtr createFileInputStream(const std::string& path) override {
    return std::make_unique<platform::FileInputStream>(path);
  }
  platform::InputStreamPtr createFileInputStream(const platform::File& file) override {
    return std::make_unique<platform::FileInputStream>(file);
  }
};

// One application folder per test program, with the settings the auction
// code reads; the configuration of a domain is read once per process, so the
// domains never change. Domains: "auction_de" (default zone, image address,
// storage folder and sizes), "tz_newyork", "tz_custom", "tz_unknown" (zones
// only), "bare" (no settings).
inline const std::string& applicationFolder() {
  static testsupport::TempDir* dir = [] {
    auto* d = new testsupport::TempDir();
    d->write("app/WEB-INF/global.properties", "");
    d->write("app/WEB-INF/auction_de/config/config.properties",
             "storagePath=storage\n"
             "auction.image.url=http\\://img.example/auctions\n"
             "auction.image.dimension.Standard=400x300\n"
             "auction.image.dimension.Ebay=200x150\n"
             "auction.image.dimension.UserLogo=120x60\n"
             "auction.image.dimension.Wide=800x200x7\n"
             "auction.image.dimension.Broken=400\n"
             "auction.image.dimension.Odd=4OOx300\n");
    d->write("app/WEB-INF/tz_newyork/config/config.properties", "timezone=America/New_York\n");
    d->write("app/WEB-INF/tz_custom/config/config.properties", "timezone=GMT+01:30\n");
    d->write("app/WEB-INF/tz_unknown/config/config.properties", "timezone=Nowhere/Else\n");
    d->write("app/WEB-INF/bare/config/config.properties", "\n");
    return d;
  }();
  static const std::string path = dir->path() + "app/";
  return path;
}

// A fresh user folder below a temporary folder, installed with the shared
// application folder and plain file streams for the life of the object.
class Installation {
 public:
  Installation() {
    static PlainFiles files;
    quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&files);
    quorvelauction::common::GlobalConfig::load(applicationFolder(), user.path());
    platform::File(user.path() + "WEB-INF/user/auction").mkdirs();
    platform::File(user.path() + "images").mkdirs();
  }
  const std::string& userPath() const { return user.path(); }
  std::string write(const std::string& relative, const std::string& bytes) const {
    return user.write(relative, bytes);
  }
  bool exists(const std::string& relative) const {
    return platform::File(user.path() + relative).exists();
  }

  testsupport::TempDir user;
};

}  // namespace auctiontest
