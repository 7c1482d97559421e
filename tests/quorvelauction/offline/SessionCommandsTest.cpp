// The online session against the stand-in service: probe, login, the login cache, the store
// document and the session commands, as the service records them.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/Properties.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/NumberLock.h"
#include "quorvelauction/offline/ReplacedFile.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/CaptureOut.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"
#include "quorvelauction/offline/SessionFixture.h"

namespace quorvelauction::offline {
namespace {

using common::GlobalConfig;
using testsupport::OnlineService;
using Answer = OnlineService::SoapAnswer;
using Events = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;
using namespace std::chrono_literals;

using SessionCommandsTest = SessionFixture;

TEST_F(SessionCommandsTest, LoginOutcomes) {
  enum After { kFresh, kOld, kGone };
  const struct {
    const char* name;
    bool reachable;
    std::optional<std::string> cacheUser, cacheHash;
    const char* password;
    Answer loginAnswer;
    const char* result;
    Events events;
    After after;
  } rows[] = {
      {"online, cache matches", true, "anna", hashOf("pw"), "pw", Answer::value("S1"), "offline",
       {"probe", "probe", "soap:login", "soap:getUserData"}, kFresh},
      {"online, no cache", true, std::nullopt, std::nullopt, "pw", Answer::value("S1"), "offline",
       {"probe", "probe", "soap:login", "soap:getUserData"}, kFresh},
      {"online, login refused", true, "anna", hashOf("pw"), "pw", Answer::value("error:wrong password"),
       "error:wrong password", {"probe", "probe", "soap:login"}, kGone},
      {"offline, cache matches", false, "anna", hashOf("pw"), "pw", Answer::value("S1"), "offline",
       {"probe"}, kOld},
      {"offline, wrong password", false, "anna", hashOf("other"), "pw", Answer::value("S1"),
       "error:not_online", {"probe", "probe"}, kGone},
      {"offline, other user", false, "bert", hashOf("pw"), "pw", Answer::value("S1"),
       "error:not_online", {"probe", "probe"}, kGone},
      {"offline, no cache", false, std::nullopt, std::nullopt, "pw", Answer::value("S1"),
       "error:not_online", {"probe", "probe"}, kGone},
      {"offline, no hash, empty password", false, "anna", std::nullopt, "", Answer::value("S1"),
       "offline", {"probe"}, kOld},
      {"offline, no hash, a password", false, "anna", std::nullopt, "pw", Answer::value("S1"),
       "error:not_online", {"probe", "probe"}, kGone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    platform::File(cachePath()).remove();
    if (row.cacheUser) writeCache(*row.cacheUser, row.cacheHash, "<user>old</user>");
    service.setProbe(OnlineService::Probe::kAnswer);
    ServiceTimeouts::reset();
    if (!row.reachable) unreachable();
    service.answer("login", row.loginAnswer);
    service.clearRecords();

    EXPECT_EQ(login("anna", row.password), row.result);
    EXPECT_EQ(service.events(), row.events);
    switch (row.after) {
      case kFresh:
        EXPECT_EQ(cached("userData"), "<user>fresh</user>");
        EXPECT_EQ(cached("userName"), "anna");
        EXPECT_EQ(cached("passwordHash"), hashOf(row.password));
        break;
      case kOld:
        EXPECT_EQ(cached("userData"), "<user>old</user>");
        break;
      case kGone:
        EXPECT_FALSE(cache());
        break;
    }
  }
}

TEST_F(SessionCommandsTest, LoginSendsCredentialsAndDomainAndKeepsTheSessionId) {
  testsupport::CaptureOut out;
  ASSERT_EQ(login("anna", "s3cret ä"), "offline");
  auto calls = service.soapCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].pairs, (Pairs{{"userName", "anna"}, {"password", "s3cret ä"}, {"domain", "session_a:4711"}}));
  EXPECT_EQ(calls[1].pairs, (Pairs{{"sessionId", "S1"}}));
  EXPECT_EQ(Server::serverSessionId.get(), "S1");
  // The password never reaches standard output.
  EXPECT_NE(out.text().find("login(anna, ****)"), std::string::npos) << out.text();
  EXPECT_EQ(out.text().find("s3cret"), std::string::npos);
  EXPECT_NE(out.text().find("isOnline: true"), std::string::npos);

  // A refused login later leaves the old session id; "error" without ":" is kept as an id.
  service.answer("login", Answer::value("error:locked"));
  EXPECT_EQ(login("anna", "x"), "error:locked");
  EXPECT_EQ(Server::serverSessionId.get(), "S1");
  service.answer("login", Answer::value("errorish"));
  EXPECT_EQ(login("anna", "x"), "errorish");
  EXPECT_EQ(Server::serverSessionId.get(), "errorish");
}

TEST_F(SessionCommandsTest, DomainSwitchReloadsTheSiteCategoryCache) {
  testsupport::CaptureOut out;
  // A fixed user name succeeds at once: no probe, no cache, but the domain still switches.
  EXPECT_EQ(login("brindlemoorcap", "", "session_b"), "offline");
  EXPECT_EQ(server.domain.get(), "session_b");
  EXPECT_NE(out.text().find("loading ebay-cache file for site 202..."), std::string::npos);
  EXPECT_TRUE(GlobalConfig::getEbayCache(202));
  EXPECT_TRUE(service.events().empty());
  EXPECT_FALSE(cache());
  const size_t printed = out.text().size();
  EXPECT_EQ(login("brindlemoorcap_vost_kelm", "", "session_b"), "offline");
  EXPECT_EQ(out.text().find("loading", printed), std::string::npos) << "same domain: nothing loaded";
  EXPECT_EQ(login("Brindlemoorcap", "", "session_b"), "offline") << "not fixed: logs in";
  EXPECT_EQ(service.events().size(), 4u);
}

TEST_F(SessionCommandsTest, DomainLeadingOutOfTheConfigurationIsRefused) {
  using namespace std::string_literals;
  for (const std::string& domain : {""s, "."s, ".."s, "/"s, "\\"s, "../session_a"s, "a/b"s, "a\\b"s, "..\0x"s}) {
    platform::Properties props;
    props.setProperty("userName", "anna");
    props.setProperty("password", "pw");
    props.setProperty("domain", domain);
    EXPECT_EQ(handler.evaluateFunction("login", props), "error:invalid domain") << domain;
  }
  EXPECT_EQ(call("login", {{"userName", "anna"}, {"password", "pw"}}), "error:invalid domain");
  EXPECT_EQ(server.domain.get(), "session_a");
  EXPECT_EQ(server.userName.get(), "");
  EXPECT_TRUE(service.events().empty());

  // Dots inside a name lead nowhere: such a domain is taken.
  for (const char* domain : {"a..b", "..a", "a..", "...", ".a"}) {
    EXPECT_EQ(login("brindlemoorcap", "", domain), "offline") << domain;
    EXPECT_EQ(server.domain.get(), domain);
  }
}

TEST_F(SessionCommandsTest, GetUserData) {
  EXPECT_EQ(call("getUserData"), "<user>fresh</user>");
  EXPECT_EQ(service.events(), (Events{"probe", "probe", "soap:login", "soap:getUserData"}));

  // Unreachable: the cache of the last online login answers.
  unreachable();
  service.clearRecords();
  EXPECT_EQ(call("getUserData"), "<user>fresh</user>");
  EXPECT_EQ(service.events(), (Events{"probe"}));
  platform::File(cachePath()).remove();
  EXPECT_EQ(call("getUserData"), "error:not cached");
  writeCache("anna", "0", "");
  platform::Properties noData;
  noData.setProperty("userName", "anna");
  ReplacedFile::write(cachePath(), [&](platform::OutputStream& out) { noData.store(out, std::string()); });
  EXPECT_THROW(call("getUserData"), platform::Exception);

  // A refused login is the answer; an error answer of the service leaves the cache.
  ServiceTimeouts::reset();
  service.setProbe(OnlineService::Probe::kAnswer);
  writeCache("anna", "0", "<user>kept</user>");
  service.answer("getUserData", Answer::value("error:busy"));
  EXPECT_EQ(call("getUserData"), "<user>kept</user>");
  service.answer("login", Answer::value("error:refused"));
  EXPECT_EQ(call("getUserData"), "error:refused");
}

TEST_F(SessionCommandsTest, UpdateUserDataRefreshesCacheAndStore) {
  service.answer("updateUserData", Answer::value("done"));
  EXPECT_EQ(call("updateUserData", {{"sessionId", "offline"}}), "done");
  EXPECT_EQ(service.events(), (Events{"probe", "probe", "soap:login", "soap:updateUserData",
                                      "soap:getUserData", "soap:getStore"}));
  EXPECT_EQ(service.soapCalls()[2].pairs, (Pairs{{"sessionId", "S1"}}));
  EXPECT_EQ(store(), "<store>new</store>");
  EXPECT_EQ(cached("userData"), "<user>fresh</user>");

  // An error answer is still the result after both refreshes; a store error keeps store.xml.
  service.answer("updateUserData", Answer::value("error:no"));
  service.answer("getStore", Answer::value("error:later"));
  service.clearRecords();
  EXPECT_EQ(call("updateUserData"), "error:no");
  EXPECT_EQ(service.events().size(), 6u);
  EXPECT_EQ(store(), "<store>new</store>");

  service.answer("login", Answer::value("error:refused"));
  EXPECT_EQ(call("updateUserData"), "error:refused");
  unreachable();
  EXPECT_EQ(call("updateUserData"), "error:not_online");
}

// The service has made the change once it answers: a refresh that breaks down afterwards
// must not turn that answer into a failure, nor keep the other refresh from running.
TEST_F(SessionCommandsTest, UpdateUserDataKeepsTheAnswerWhenARefreshBreaks) {
  service.answer("updateUserData", Answer::value("done"));
  for (const char* broken : {"getUserData", "getStore"}) {
    SCOPED_TRACE(broken);
    writeCache("anna", "1", "<user>old</user>");
    platform::File(user.path() + "store.xml").remove();
    service.answer("getUserData", Answer::value("<user>fresh</user>"));
    service.answer("getStore", Answer::value("<store>new</store>"));
    service.answer(broken, Answer::close());
    EXPECT_EQ(call("updateUserData"), "done");
    const bool cacheBroken = std::string(broken) == "getUserData";
    EXPECT_EQ(cached("userData"), cacheBroken ? "<user>old</user>" : "<user>fresh</user>");
    EXPECT_EQ(store(), cacheBroken ? "<store>new</store>" : "(none)");
  }
}

TEST_F(SessionCommandsTest, ReachabilityAndSessionId) {
  EXPECT_EQ(call("offlineIsOnline"), "1");
  // A host that closes at once is reachable.
  service.setProbe(OnlineService::Probe::kClose);
  EXPECT_EQ(call("offlineIsOnline"), "1");
  service.setProbe(OnlineService::Probe::kAnswer);
  service.clearRecords();
  EXPECT_EQ(call("offlineGetServerSessionId"), "S1");
  EXPECT_EQ(service.events(), (Events{"probe", "probe", "soap:login"}));
  service.answer("login", Answer::value("error:refused"));
  EXPECT_EQ(call("offlineGetServerSessionId"), "error:refused");

  unreachable();
  service.clearRecords();
  EXPECT_EQ(call("offlineIsOnline"), "0");
  EXPECT_EQ(call("offlineGetServerSessionId"), "error:not_online");
  EXPECT_EQ(service.events(), (Events{"probe", "probe"}));
}

TEST_F(SessionCommandsTest, AccountUrlAndPreregistration) {
  service.answer("login", Answer::value("error:refused"));
  EXPECT_EQ(call("offlineGetAccountUrl"), "https://" + service.host() + "/app/account?sessionId=");
  service.answer("login", Answer::value("S9"));
  EXPECT_EQ(call("offlineGetAccountUrl"), "https://" + service.host() + "/app/account?sessionId=S9");

  service.answer("preregisterUser", Answer::value("ok"));
  service.clearRecords();
  EXPECT_EQ(call("preregisterUser", {{"a0", "x"}, {"password", "p"}, {"email", "e@x"},
                                     {"domain", "session_a"}, {"ebayUserId", "eb"}}),
            "ok");
  EXPECT_EQ(service.events(), (Events{"probe", "soap:preregisterUser"}));
  EXPECT_EQ(service.soapCalls()[0].pairs,
            (Pairs{{"domain", "session_a"}, {"email", "e@x"}, {"ebayUserId", "eb"}, {"password", "p"}}));

  unreachable();
  service.clearRecords();
  EXPECT_EQ(call("offlineGetAccountUrl"), "error:not_online");
  EXPECT_EQ(call("preregisterUser"), "error:not_online");
  EXPECT_EQ(service.events(), (Events{"probe", "probe"}));
}

TEST_F(SessionCommandsTest, OneOnlineAuctionPerLocalNumber) {
  std::atomic<int> created{0};
  service.answer("auctionCreateWithPictures",
                 OnlineService::SoapResponder([&](const OnlineService::SoapCall&) {
                   return Answer::value(std::to_string(900 + created.fetch_add(1)));
                 }));
  Server::serverSessionId.set("S1");
  std::vector<std::thread> threads;
  std::vector<int32_t> ids(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] {
      Server::Handler own(server, nullptr);
      ids[i] = own.createOrGetServerAuctionId(5);
    });
  }
  for (auto& t : threads) t.join();
  for (int32_t id : ids) EXPECT_EQ(id, 900);
  ASSERT_EQ(service.soapCalls().size(), 1u);
  EXPECT_EQ(service.soapCalls()[0].pairs, (Pairs{{"sessionId", "S1"}, {"pictures", ""}}));
  EXPECT_EQ(service.events(), (Events{"soap:auctionCreateWithPictures"})) << "no probe, no login";

  service.answer("auctionCreateWithPictures", Answer::value("error:no session"));
  EXPECT_THROW(handler.createOrGetServerAuctionId(6), platform::NumberFormatException);
  EXPECT_EQ(server.auctionIdMapping.get().count(6), 0u);
  EXPECT_EQ(NumberLock::inUse(), 0u) << "the locks of finished creations stay behind";
}

// A creation waiting for the service holds up no creation for another number.
TEST_F(SessionCommandsTest, CreationsForOtherNumbersGoOnMeanwhile) {
  std::mutex mutex;
  std::condition_variable changed;
  bool firstArrived = false, secondDone = false, secondCameFirst = false;
  service.answer("auctionCreateWithPictures",
                 OnlineService::SoapResponder([&](const OnlineService::SoapCall&) {
                   std::unique_lock<std::mutex> lock(mutex);
                   if (firstArrived) return Answer::value("902");
                   firstArrived = true;
                   changed.notify_all();
                   secondCameFirst = changed.wait_for(lock, 20s, [&] { return secondDone; });
                   return Answer::value("901");
                 }));
  Server::serverSessionId.set("S1");
  int32_t first = 0;
  std::thread waiting([&] {
    Server::Handler own(server, nullptr);
    first = own.createOrGetServerAuctionId(1);
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 60s, [&] { return firstArrived; }));
  }
  EXPECT_EQ(handler.createOrGetServerAuctionId(2), 902);
  {
    std::lock_guard<std::mutex> lock(mutex);
    secondDone = true;
  }
  changed.notify_all();
  waiting.join();
  EXPECT_EQ(first, 901);
  EXPECT_TRUE(secondCameFirst);
}

TEST_F(SessionCommandsTest, ConcurrentRefreshesLeaveOneWholeFile) {
  Server::serverSessionId.set("S1");
  const std::string big(200000, 'u');
  service.answer("getUserData", Answer::value(big));
  std::vector<std::thread> threads;
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([&] {
      Server::Handler own(server, nullptr);
      own.updateCache();
      own.updateStore();
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(cached("userData"), big);
  EXPECT_EQ(store(), "<store>new</store>");
  // No temporary file stays behind.
  EXPECT_EQ(platform::File(user.path()).list()->size(), 2u);
}

TEST_F(SessionCommandsTest, FailedReplacementKeepsTheOldFile) {
  writeCache("anna", "1", "<user>old</user>");
  EXPECT_THROW(ReplacedFile::write(cachePath(),
                                   [](platform::OutputStream& out) {
                                     out.write(std::string("partial"));
                                     throw platform::IOException("disk full");
                                   }),
               platform::IOException);
  EXPECT_EQ(cached("userData"), "<user>old</user>");
  EXPECT_EQ(platform::File(user.path()).list()->size(), 1u);
}

TEST_F(SessionCommandsTest, BrokenServiceFailsTheCallLikeABrokenConnection) {
  ServiceTimeouts::set(ServiceTimeouts::probe(), ServiceTimeouts::connect(), 200ms);
  service.answer("login", Answer::silence());
  EXPECT_THROW(call("offlineGetServerSessionId"), platform::IOException);
  service.answer("login", Answer::close());
  EXPECT_THROW(call("offlineGetServerSessionId"), platform::Exception);
  EXPECT_EQ(Server::serverSessionId.get(), "");
}

}  // namespace
}  // namespace quorvelauction::offline
