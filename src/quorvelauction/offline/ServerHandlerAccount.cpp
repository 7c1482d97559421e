// The account, payment, flatrate and category-suggestion commands: each is one call of the
// online service in one of three orders of probe, service login, call and cache refresh.

#include <initializer_list>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/SimpleSoap.h"

namespace quorvelauction::offline {

using platform::Strings;

namespace {

enum class Order {
  kLoginFirst,   // probe, login, call, refresh
  kLoginAfter,   // probe, call, login, refresh
  kNoLogin,      // probe, call
};

struct OnlineCall {
  const char* function;
  std::initializer_list<const char*> pairs;  // request keys, in the order sent
  Order order;
  bool refresh;
};

// "sessionId" carries the server session id as it is now; every other pair the request's value.
std::vector<SimpleSoap::Pair> pairsOf(const OnlineCall& call, const platform::Properties& props) {
  std::vector<SimpleSoap::Pair> pairs;
  for (const char* key : call.pairs) {
    if (std::string_view(key) == "sessionId") {
      pairs.push_back({key, Server::serverSessionId.get()});
    } else {
      pairs.push_back({key, props.getProperty(key)});
    }
  }
  return pairs;
}

std::string callOnline(Server::Handler& handler, const OnlineCall& call, platform::Properties& props) {
  if (!handler.isOnline()) return "error:not_online";
  if (call.order == Order::kLoginFirst) {
    const std::string login = handler.loginToOnlineServer();
    if (Strings::contains(login, "error")) return login;
  }
  const std::string answer =
      SimpleSoap::soapFunction(Server::host.get(), call.function, pairsOf(call, props));
  std::string result = answer;
  if (call.order == Order::kLoginAfter) {
    Server::Handler::afterTheChange([&] {
      const std::string login = handler.loginToOnlineServer();
      if (Strings::contains(login, "error")) result = login;
    });
  }
  if (call.refresh) Server::Handler::afterTheChange([&] { handler.updateCache(); });
  return result;
}

const OnlineCall kGetEbayUserData{"getEbayUserData", {"sessionId"}, Order::kLoginFirst, true};
const OnlineCall kSetPassword{"setPassword", {"sessionId", "password", "mailWelcomeMessage"},
                              Order::kLoginFirst, true};
const OnlineCall kSetEmailInfo{"setEmailInfo", {"sessionId", "emailInfo"}, Order::kLoginFirst, true};
const OnlineCall kPasswordLost{"passwordLost", {"userName", "email", "domain"}, Order::kNoLogin, false};
const OnlineCall kGetAccountBalance{"getAccountBalance", {"sessionId"}, Order::kNoLogin, false};
const OnlineCall kConvertGiftCoupon{"convertGiftCoupon", {"sessionId", "code"}, Order::kLoginFirst, true};
const OnlineCall kGetPaymentInfo{"getPaymentInfo", {"sessionId"}, Order::kLoginFirst, false};
const OnlineCall kPrePayment{"prePayment", {"sessionId", "paymentInfo", "amount", "paymentText"},
                             Order::kLoginFirst, false};
const OnlineCall kPrePaymentPack{"prePaymentPack", {"sessionId", "paymentInfo", "packId", "paymentText"},
                                 Order::kLoginFirst, false};
const OnlineCall kBuyFlatrate{"buyFlatrate", {"sessionId", "paymentInfo"}, Order::kLoginFirst, true};
const OnlineCall kBuyPowersellerFlatrate{"buyPowersellerFlatrate",
                                         {"sessionId", "paymentInfo", "amountMonthly"},
                                         Order::kLoginFirst, true};
const OnlineCall kCancelFlatrate{"cancelFlatrate", {"userName", "password", "domain"},
                                 Order::kLoginAfter, true};
const OnlineCall kGetSuggestedCategories{"getSuggestedCategories", {"sessionId", "query"},
                                         Order::kLoginAfter, true};

// A fault's code, an empty answer and an error text say nothing was changed.
bool changedPassword(const SimpleSoap::Answer& answer) {
  return !answer.fault && !answer.text.empty() && !Strings::startsWith(answer.text, "error");
}

}  // namespace

// Runs after the service has carried out the call: a failure here must not hide its answer,
// or the front end would report a purchase that happened as failed (and a retry buy twice).
void Server::Handler::afterTheChange(const std::function<void()>& step) {
  try {
    step();
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
}

std::string Server::Handler::onGetEbayUserData(Properties& props) {
  return callOnline(*this, kGetEbayUserData, props);
}

std::string Server::Handler::onSetPassword(Properties& props) {
  if (!isOnline()) return "error:not_online";
  const std::string login = loginToOnlineServer();
  if (Strings::contains(login, "error")) return login;
  const SimpleSoap::Answer answer =
      SimpleSoap::call(host.get(), kSetPassword.function, pairsOf(kSetPassword, props));
  // Only an answer of the operation itself says the service took the new password; then
  // later logins and the login cache must use it. A kept password the service refused would
  // fail every later login and make the real one delete the login cache.
  if (changedPassword(answer)) server_.password.set(props.getProperty("password").value_or(""));
  afterTheChange([&] { updateCache(); });
  return answer.text;
}

std::string Server::Handler::onSetEmailInfo(Properties& props) { return callOnline(*this, kSetEmailInfo, props); }
std::string Server::Handler::onPasswordLost(Properties& props) { return callOnline(*this, kPasswordLost, props); }
std::string Server::Handler::onGetAccountBalance(Properties& props) {
  return callOnline(*this, kGetAccountBalance, props);
}
std::string Server::Handler::onConvertGiftCoupon(Properties& props) {
  return callOnline(*this, kConvertGiftCoupon, props);
}
std::string Server::Handler::onGetPaymentInfo(Properties& props) {
  return callOnline(*this, kGetPaymentInfo, props);
}
std::string Server::Handler::onPrePayment(Properties& props) { return callOnline(*this, kPrePayment, props); }
std::string Server::Handler::onPrePaymentPack(Properties& props) {
  return callOnline(*this, kPrePaymentPack, props);
}
std::string Server::Handler::onBuyFlatrate(Properties& props) { return callOnline(*this, kBuyFlatrate, props); }
std::string Server::Handler::onBuyPowersellerFlatrate(Properties& props) {
  return callOnline(*this, kBuyPowersellerFlatrate, props);
}
std::string Server::Handler::onCancelFlatrate(Properties& props) {
  return callOnline(*this, kCancelFlatrate, props);
}
std::string Server::Handler::onGetSuggestedCategories(Properties& props) {
  return callOnline(*this, kGetSuggestedCategories, props);
}

}  // namespace quorvelauction::offline
