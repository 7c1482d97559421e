// The account, payment, flatrate and category-suggestion commands against the stand-in
// service: the probes and calls in order, the pairs, the result and the login cache, with the
// service working, unreachable, refusing the login, answering an error, and breaking down
// after the call.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "quorvelauction/offline/SessionFixture.h"

namespace quorvelauction::offline {
namespace {

using Answer = testsupport::OnlineService::SoapAnswer;
using Events = std::vector<std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

enum class Order { kLoginFirst, kLoginAfter, kNoLogin };

struct Command {
  const char* name;
  std::vector<std::pair<std::string, std::string>> request;  // besides "sessionId"
  std::vector<std::string> sent;                              // pair names, in order
  Order order;
  bool refresh;
};

const Command kCommands[] = {
    {"getEbayUserData", {}, {"sessionId"}, Order::kLoginFirst, true},
    {"setPassword", {{"password", "neu"}, {"mailWelcomeMessage", "1"}},
     {"sessionId", "password", "mailWelcomeMessage"}, Order::kLoginFirst, true},
    {"setEmailInfo", {{"emailInfo", "a@b"}}, {"sessionId", "emailInfo"}, Order::kLoginFirst, true},
    {"passwordLost", {{"userName", "u"}, {"email", "e"}, {"domain", "d"}}, {"userName", "email", "domain"},
     Order::kNoLogin, false},
    {"getAccountBalance", {}, {"sessionId"}, Order::kNoLogin, false},
    {"convertGiftCoupon", {{"code", "C1"}}, {"sessionId", "code"}, Order::kLoginFirst, true},
    {"getPaymentInfo", {}, {"sessionId"}, Order::kLoginFirst, false},
    {"prePayment", {{"paymentInfo", "pi"}, {"amount", "5"}, {"paymentText", "t"}},
     {"sessionId", "paymentInfo", "amount", "paymentText"}, Order::kLoginFirst, false},
    {"prePaymentPack", {{"paymentInfo", "pi"}, {"packId", "7"}, {"paymentText", "t"}},
     {"sessionId", "paymentInfo", "packId", "paymentText"}, Order::kLoginFirst, false},
    {"buyFlatrate", {{"paymentInfo", "pi"}}, {"sessionId", "paymentInfo"}, Order::kLoginFirst, true},
    {"buyPowersellerFlatrate", {{"paymentInfo", "pi"}, {"amountMonthly", "9"}},
     {"sessionId", "paymentInfo", "amountMonthly"}, Order::kLoginFirst, true},
    {"cancelFlatrate", {{"userName", "other"}, {"password", "op"}, {"domain", "auction_x"}},
     {"userName", "password", "domain"}, Order::kLoginAfter, true},
    {"getSuggestedCategories", {{"query", "lamp"}}, {"sessionId", "query"}, Order::kLoginAfter, true},
};

// The traffic of one command whose probe succeeded.
Events trafficOf(const Command& c, bool loginRefused) {
  const std::string call = std::string("soap:") + c.name;
  switch (c.order) {
    case Order::kNoLogin:
      return {"probe", call};
    case Order::kLoginFirst:
      if (loginRefused) return {"probe", "probe", "soap:login"};
      if (c.refresh) return {"probe", "probe", "soap:login", call, "soap:getUserData"};
      return {"probe", "probe", "soap:login", call};
    case Order::kLoginAfter:
      return {"probe", call, "probe", "soap:login", "soap:getUserData"};
  }
  return {};
}

class AccountCommandsTest : public SessionFixture {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    for (const Command& c : kCommands) service.answer(c.name, Answer::value(std::string("answer:") + c.name));
  }
  std::string run(const Command& c) {
    platform::Properties props;
    props.setProperty("sessionId", "offline");  // never sent: the server's own id is
    for (const auto& [key, value] : c.request) props.setProperty(key, value);
    return handler.evaluateFunction(c.name, props);
  }
  // Expected pairs: "sessionId" with the id the call saw, the rest from the request.
  static Pairs pairsOf(const Command& c, const std::string& sessionId) {
    Pairs pairs;
    for (const std::string& name : c.sent) {
      if (name == "sessionId") {
        pairs.emplace_back(name, sessionId);
        continue;
      }
      for (const auto& [key, value] : c.request)
        if (key == name) pairs.emplace_back(name, value);
    }
    return pairs;
  }
  void reset() {
    platform::File(cachePath()).remove();
    Server::serverSessionId.set("OLD");
    service.setProbe(testsupport::OnlineService::Probe::kAnswer);
    ServiceTimeouts::reset();
    service.answer("login", Answer::value("S1"));
    service.answer("getUserData", Answer::value("<user>fresh</user>"));
    service.clearRecords();
  }
};

TEST_F(AccountCommandsTest, ServiceWorking) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    reset();
    EXPECT_EQ(run(c), std::string("answer:") + c.name);
    EXPECT_EQ(service.events(), trafficOf(c, false));
    auto calls = service.soapCalls();
    const size_t own = c.order == Order::kLoginFirst ? 1 : 0;
    ASSERT_GT(calls.size(), own);
    // Login first: the call carries the new id; otherwise the id from before.
    EXPECT_EQ(calls[own].pairs, pairsOf(c, c.order == Order::kLoginFirst ? "S1" : "OLD"));
    EXPECT_EQ(cached("userData").has_value(), c.refresh);
  }
}

TEST_F(AccountCommandsTest, ServiceUnreachable) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    reset();
    unreachable();
    EXPECT_EQ(run(c), "error:not_online");
    EXPECT_EQ(service.events(), (Events{"probe"}));
  }
}

TEST_F(AccountCommandsTest, LoginRefused) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    reset();
    service.answer("login", Answer::value("no error here"));
    const std::string expected = c.order == Order::kNoLogin ? std::string("answer:") + c.name : "no error here";
    EXPECT_EQ(run(c), expected);
    EXPECT_EQ(service.events(), trafficOf(c, true));
    EXPECT_EQ(cached("userData").has_value(), c.order == Order::kLoginAfter);
  }
}

TEST_F(AccountCommandsTest, ErrorAnswerIsReturnedAndTheCacheStillRefreshed) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    reset();
    service.answer(c.name, Answer::value("error:declined"));
    EXPECT_EQ(run(c), "error:declined");
    EXPECT_EQ(service.events(), trafficOf(c, false));
    EXPECT_EQ(cached("userData").has_value(), c.refresh);
    service.answer(c.name, Answer::value(std::string("answer:") + c.name));
  }
}

TEST_F(AccountCommandsTest, BreakdownAfterTheCallKeepsTheServiceAnswer) {
  for (const Command& c : kCommands) {
    if (!c.refresh) continue;
    SCOPED_TRACE(c.name);
    reset();
    writeCache("anna", "1", "<user>old</user>");
    // The refresh meets a service that closes without answering.
    service.answer("getUserData", Answer::close());
    EXPECT_EQ(run(c), std::string("answer:") + c.name);
    EXPECT_EQ(cached("userData"), "<user>old</user>");
    if (c.order == Order::kLoginAfter) {
      reset();
      service.answer("login", Answer::close());
      EXPECT_EQ(run(c), std::string("answer:") + c.name);
    }
  }
}

// Only the operation's own answer of a change keeps the new password: a fault's code, an
// empty answer, an error text or a broken call leave the old one for the cache and later logins.
TEST_F(AccountCommandsTest, NewPasswordIsKeptOnlyAfterAnAcceptedChange) {
  const struct {
    const char* name;
    Answer answer;
    std::optional<std::string> result;  // none: the call fails
    bool kept;
  } rows[] = {
      {"accepted", Answer::value("ok"), "ok", true},
      {"error text", Answer::value("error:too short"), "error:too short", false},
      {"error without colon", Answer::value("errorish"), "errorish", false},
      {"fault", Answer::fault("soapenv:Server"), "soapenv:Server", false},
      {"empty answer", Answer::value(""), "", false},
      {"broken call", Answer::close(), std::nullopt, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    reset();
    server.password.set("alt");
    service.answer("setPassword", row.answer);
    platform::Properties props;
    props.setProperty("password", "neu");
    if (row.result) {
      EXPECT_EQ(handler.evaluateFunction("setPassword", props), *row.result);
    } else {
      EXPECT_THROW(handler.evaluateFunction("setPassword", props), platform::Exception);
    }
    const char* expected = row.kept ? "neu" : "alt";
    EXPECT_EQ(server.password.get(), expected);
    if (row.result) {
      EXPECT_EQ(cached("passwordHash"), hashOf(expected));
    }
    service.clearRecords();
    handler.evaluateFunction("offlineGetServerSessionId", props);
    EXPECT_EQ(service.soapCalls().at(0).pairs.at(1), (std::pair<std::string, std::string>{"password", expected}));
  }
}

TEST_F(AccountCommandsTest, MissingParameterIsSentEmptyAndMappedNamesWithoutOperationStayUnknown) {
  platform::Properties props;
  handler.evaluateFunction("prePayment", props);
  EXPECT_EQ(service.soapCalls().back().pairs,
            (Pairs{{"sessionId", "S1"}, {"paymentInfo", ""}, {"amount", ""}, {"paymentText", ""}}));
  service.clearRecords();
  for (const char* name : {"getAccountBalanceBeta", "buyPaypalFlatrate", "getFlatrateCouponByName",
                           "getFlatrateCouponByCode", "getMultipleFlatrateCoupons", "cancelAccount", "getRuName"}) {
    EXPECT_EQ(handler.evaluateFunction(name, props), "error:unknown function") << name;
  }
  EXPECT_TRUE(service.events().empty());
}

}  // namespace
}  // namespace quorvelauction::offline
