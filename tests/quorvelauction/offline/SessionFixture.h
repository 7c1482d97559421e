#pragma once

// A handler of a server whose service host is the stand-in online service, with a user
// folder of its own, plain file streams and two domains of its own.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/Properties.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/ReplacedFile.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {

// Two domains of their own (domain settings are read once per process) with the sites 201
// and 202; site 202 has a category cache.
inline const std::string& sessionApplication() {
  static testsupport::TempDir* dir = [] {
    auto* d = new testsupport::TempDir();
    d->write("app/WEB-INF/global.properties", "domains=session_a,session_b\ndefaultDomain=session_a\n");
    d->write("app/WEB-INF/session_a/config/config.properties", "ebayApi.SiteId=201\n");
    d->write("app/WEB-INF/session_b/config/config.properties", "ebayApi.SiteId=202\n");
    d->write("app/WEB-INF/202/config/config.properties", "ebayApi.SiteId=202\n");
    std::filesystem::copy(testsupport::sourceDir() + "/demo/htdocs/app/WEB-INF/77/ebay-cache",
                          d->path() + "app/WEB-INF/202/ebay-cache");
    return d;
  }();
  static const std::string path = dir->path() + "app/";
  return path;
}

inline std::string hashOf(const std::string& password) {
  return std::to_string(Server::Handler::crc32(password));
}

class SessionFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static auctiontest::PlainFiles files;
    Server::trustAll();
    Server::host.set(service.host());
    Server::userPath = user.path();
    Server::offlineId = 4711;
    Server::serverSessionId.set("");
    common::GlobalConfig::setFileStreamFactoryHelper(&files);
    common::GlobalConfig::load(sessionApplication(), user.path());
    server.domain.set("session_a");
    service.answer("login", testsupport::OnlineService::SoapAnswer::value("S1"));
    service.answer("getUserData", testsupport::OnlineService::SoapAnswer::value("<user>fresh</user>"));
    service.answer("getStore", testsupport::OnlineService::SoapAnswer::value("<store>new</store>"));
  }
  void TearDown() override { ServiceTimeouts::reset(); }

  // The probe meets silence and its (lowered) time-out: the service counts as unreachable.
  void unreachable() {
    service.setProbe(testsupport::OnlineService::Probe::kSilence);
    ServiceTimeouts::set(std::chrono::milliseconds(100), ServiceTimeouts::connect(), ServiceTimeouts::read());
  }

  std::string call(const std::string& function,
                   std::initializer_list<std::pair<const char*, const char*>> params = {}) {
    platform::Properties props;
    for (auto [key, value] : params) props.setProperty(key, value);
    return handler.evaluateFunction(function, props);
  }
  std::string login(const char* name, const char* password, const char* domain = "session_a") {
    return call("login", {{"userName", name}, {"password", password}, {"domain", domain}});
  }

  std::string cachePath() const { return user.path() + "loginCache.properties"; }
  void writeCache(const std::string& name, const std::optional<std::string>& hash,
                  const std::string& userData) {
    platform::Properties table;
    table.setProperty("userData", userData);
    table.setProperty("userName", name);
    if (hash) table.setProperty("passwordHash", *hash);
    ReplacedFile::write(cachePath(), [&](platform::OutputStream& out) { table.store(out, std::string()); });
  }
  std::optional<platform::Properties> cache() const {
    if (!platform::File(cachePath()).exists()) return std::nullopt;
    platform::Properties table;
    platform::FileInputStream in(cachePath());
    table.load(in);
    return table;
  }
  std::optional<std::string> cached(const char* key) const {
    auto table = cache();
    return table ? table->getProperty(key) : std::nullopt;
  }
  std::string store() const {
    platform::File file(user.path() + "store.xml");
    return file.exists() ? testsupport::TempDir::read(file.getPath()) : "(none)";
  }

  testsupport::OnlineService service;
  testsupport::TempDir user;
  Server server;
  Server::Handler handler{server, nullptr};
};

}  // namespace quorvelauction::offline
