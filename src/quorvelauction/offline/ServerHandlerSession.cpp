// The online session: the reachability probe, the service login, the cached online data
// and the commands built on them.

#include <algorithm>
#include <chrono>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Socket.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/NumberLock.h"
#include "quorvelauction/offline/ReplacedFile.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "quorvelauction/offline/SimpleSoap.h"

namespace quorvelauction::offline {

using platform::Strings;
using platform::System;

namespace {

const char kNotOnline[] = "error:not_online";
const char kLoginCache[] = "loginCache.properties";
// What the "login(" line shows instead of the password.
const char kPasswordMask[] = "****";

bool isFixedUser(const std::string& name) {
  return name == "brindlemoorcap" || name == "brindlemoorcap_vost_kelm";
}

// A domain names one folder below the configuration folders: no separator, and not "." (the
// folder that holds the domains) nor ".." (its parent). A NUL would cut the name short where
// the system takes it: "..\0x" would become "..". Dots inside a name ("a..b") are harmless.
bool isSafeDomain(const std::optional<std::string>& domain) {
  return domain && !domain->empty() && *domain != "." && *domain != ".." &&
         domain->find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

platform::Properties readProperties(const std::string& path) {
  platform::Properties table;
  platform::InputStreamPtr in = common::GlobalConfig::createFileInputStream(path);
  table.load(*in);
  in->close();
  return table;
}

std::string hostText() { return Server::host.get().value_or("null"); }

}  // namespace

bool Server::Handler::isOnline() {
  bool online = false;
  try {
    using Clock = std::chrono::steady_clock;
    const std::chrono::milliseconds timeout = ServiceTimeouts::probe();
    const auto deadline = Clock::now() + timeout;
    // One time-out covers the probe: the connect to all of the host's addresses, then the answer.
    platform::Socket probe(host.get(), 80, timeout, platform::Socket::Deadline::kAllAddresses);
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    probe.setSoTimeout(std::max(left, std::chrono::milliseconds(1)));
    probe.getOutputStream().write(std::string("GET /\r\n\r\n"));
    probe.getInputStream().read();
    probe.close();
    online = true;
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  System::out().println(std::string("isOnline: ") + (online ? "true" : "false"));
  return online;
}

std::string Server::Handler::loginToOnlineServer() {
  if (!isOnline()) return kNotOnline;
  const std::string answer = SimpleSoap::soapFunction(
      host.get(), "login",
      {{"userName", server_.userName.get()},
       {"password", server_.password.get()},
       {"domain", server_.domain.get() + ":" + std::to_string(offlineId)}});
  if (!Strings::startsWith(answer, "error:")) serverSessionId.set(answer);
  return answer;
}

void Server::Handler::updateCache() {
  const std::string answer =
      SimpleSoap::soapFunction(host.get(), "getUserData", {{"sessionId", serverSessionId.get()}});
  if (Strings::startsWith(answer, "error")) return;
  platform::Properties table;
  table.setProperty("userData", answer);
  table.setProperty("userName", server_.userName.get());
  table.setProperty("passwordHash", std::to_string(crc32(server_.password.get())));
  ReplacedFile::write(userPath + kLoginCache,
                      [&](platform::OutputStream& out) { table.store(out, std::string()); });
}

void Server::Handler::updateStore() {
  const std::string answer =
      SimpleSoap::soapFunction(host.get(), "getStore", {{"sessionId", serverSessionId.get()}});
  if (Strings::startsWith(answer, "error")) return;
  ReplacedFile::write(userPath + "store.xml",
                      [&](platform::OutputStream& out) { out.write(answer); });
}

int32_t Server::Handler::createOrGetServerAuctionId(int32_t localId) {
  // Held around look-up, creation call and insert, so one local auction gets one online one;
  // creations for other numbers go on meanwhile.
  NumberLock creation(localId);
  std::optional<int32_t> known = server_.auctionIdMapping.with(
      [&](const std::map<int32_t, int32_t>& mapping) -> std::optional<int32_t> {
        auto found = mapping.find(localId);
        if (found == mapping.end()) return std::nullopt;
        return found->second;
      });
  if (known) return *known;
  const std::string answer = SimpleSoap::soapFunction(
      host.get(), "auctionCreateWithPictures",
      {{"sessionId", serverSessionId.get()}, {"pictures", std::string()}});
  const int32_t onlineId = platform::Integers::parseInt(answer);
  server_.auctionIdMapping.with(
      [&](std::map<int32_t, int32_t>& mapping) { mapping[localId] = onlineId; });
  return onlineId;
}

std::string Server::Handler::onLogin(Properties& props) {
  const std::optional<std::string> domain = props.getProperty("domain");
  if (!isSafeDomain(domain)) return "error:invalid domain";
  const std::optional<std::string> name = props.getProperty("userName");
  const std::string user = name.value_or("");
  const std::string password = props.getProperty("password").value_or("");
  server_.userName.set(user);
  server_.password.set(password);
  const std::string previous = server_.domain.get();
  server_.domain.set(*domain);
  if (previous != *domain) common::GlobalConfig::reloadEbayCacheFilesForOneDomain(*domain);
  if (isFixedUser(user)) return server_.sessionId;

  const platform::File cache(userPath + kLoginCache);
  bool cacheMatches = false;
  if (cache.exists()) {
    platform::Properties table = readProperties(cache.getPath());
    cacheMatches = table.getProperty("userName") == user &&
                   table.getProperty("passwordHash", "0") == std::to_string(crc32(password));
  }
  if (isOnline() || !cacheMatches) {
    const std::string result = loginToOnlineServer();
    if (Strings::contains(result, "error")) {
      cache.remove();
      return result;
    }
    updateCache();
  }
  System::out().println("login(" + name.value_or("null") + ", " + kPasswordMask + ")");
  return server_.sessionId;
}

std::string Server::Handler::onGetUserData(Properties&) {
  if (isOnline()) {
    const std::string result = loginToOnlineServer();
    if (Strings::contains(result, "error")) return result;
    updateCache();
  }
  const platform::File cache(userPath + kLoginCache);
  if (!cache.exists()) return "error:not cached";
  std::optional<std::string> userData = readProperties(cache.getPath()).getProperty("userData");
  if (!userData) throw platform::NullPointerException("login cache without userData");
  return *userData;
}

std::string Server::Handler::onUpdateUserData(Properties&) {
  if (!isOnline()) return kNotOnline;
  const std::string login = loginToOnlineServer();
  if (Strings::contains(login, "error")) return login;
  const std::string answer =
      SimpleSoap::soapFunction(host.get(), "updateUserData", {{"sessionId", serverSessionId.get()}});
  afterTheChange([&] { updateCache(); });
  afterTheChange([&] { updateStore(); });
  return answer;
}

std::string Server::Handler::onOfflineIsOnline(Properties&) { return isOnline() ? "1" : "0"; }

std::string Server::Handler::onOfflineGetServerSessionId(Properties&) {
  if (!isOnline()) return kNotOnline;
  const std::string login = loginToOnlineServer();
  if (Strings::contains(login, "error")) return login;
  return serverSessionId.get();
}

std::string Server::Handler::onOfflineGetAccountUrl(Properties&) {
  if (!isOnline()) return kNotOnline;
  loginToOnlineServer();
  return "https://" + hostText() + "/app/account?sessionId=" + serverSessionId.get();
}

std::string Server::Handler::onPreregisterUser(Properties& props) {
  if (!isOnline()) return kNotOnline;
  return SimpleSoap::soapFunction(host.get(), "preregisterUser",
                                  {{"domain", props.getProperty("domain")},
                                   {"email", props.getProperty("email")},
                                   {"ebayUserId", props.getProperty("ebayUserId")},
                                   {"password", props.getProperty("password")}});
}

}  // namespace quorvelauction::offline
