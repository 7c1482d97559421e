// The online commands of the real server: with the demo-like installation, whose service host
// lies under ".invalid", and against the stand-in service.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "quorvelauction/common/ServiceSingeltons.h"
#include "support/OnlineService.h"

namespace e2e {
namespace {

using quorvelauction::common::ServiceSingeltons;
using testsupport::OnlineService;

class OnlineSessionTest : public ::testing::Test {
 protected:
  void start() {
    server = std::make_unique<ServerProcess>(inst.folder());
    ASSERT_TRUE(server->running()) << server->output();
  }
  std::string call(const std::string& func, const std::string& args = "") {
    Reply reply = get(server->port(), "/app/call?func=" + func + args);
    if (reply.body.rfind("result=", 0) != 0) {
      ADD_FAILURE() << func << ": " << reply.status << "\n" << server->output();
      return "";
    }
    return ServiceSingeltons::decodeURL(reply.body.substr(7));
  }

  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

TEST_F(OnlineSessionTest, UnreachableServiceAnswersAtOnce) {
  start();
  const struct {
    const char* func;
    const char* args;
    const char* result;
  } cases[] = {
      {"login", "&a0=anna&a1=geheim77&a2=auction_de", "error:not_online"},
      {"login", "&a0=brindlemoorcap&a1=&a2=auction_de", "offline"},
      {"getUserData", "&a0=offline", "error:not cached"},
      {"updateUserData", "&a0=offline", "error:not_online"},
      {"offlineIsOnline", "&a0=offline", "0"},
      {"offlineGetServerSessionId", "&a0=offline", "error:not_online"},
      {"offlineGetAccountUrl", "&a0=offline", "error:not_online"},
      {"preregisterUser", "&a0=auction_de&a1=a@b&a2=x&a3=geheim77", "error:not_online"},
  };
  for (const auto& c : cases) EXPECT_EQ(call(c.func, c.args), c.result) << c.func;
  for (const char* func : {"getEbayUserData", "setPassword", "setEmailInfo", "passwordLost", "getAccountBalance",
                           "convertGiftCoupon", "getPaymentInfo", "prePayment", "prePaymentPack", "buyFlatrate",
                           "buyPowersellerFlatrate", "cancelFlatrate", "getSuggestedCategories"}) {
    EXPECT_EQ(call(func, "&a0=s&a1=geheim77&a2=y&a3=z"), "error:not_online") << func;
  }
  EXPECT_EQ(server->output().find("geheim77"), std::string::npos) << "password in the output";
}

TEST_F(OnlineSessionTest, LoginAgainstTheService) {
  // Serves only once the server process is forked: a process with threads should not fork.
  OnlineService service{OnlineService::Deferred{}};
  service.answer("login", OnlineService::SoapAnswer::value("S42"));
  service.answer("getUserData", OnlineService::SoapAnswer::value("<user><name>anna</name></user>"));
  inst.store("htdocs/app/WEB-INF/global.properties",
             "server.host=" + service.host() + "\ndomains=auction_de\ndefaultDomain=auction_de\n");
  start();
  service.start();
  EXPECT_EQ(call("login", "&a0=anna&a1=geheim77&a2=auction_de"), "offline");
  EXPECT_EQ(service.events(), (std::vector<std::string>{"probe", "probe", "soap:login", "soap:getUserData"}));
  EXPECT_EQ(service.soapCalls()[0].pairs.at(2).second, "auction_de:4711");
  EXPECT_EQ(call("offlineGetServerSessionId", "&a0=offline"), "S42");
  EXPECT_EQ(call("getUserData", "&a0=offline"), "<user><name>anna</name></user>");
  // The login cache lies in the user folder, below htdocs/app: the storage rule scrambles it.
  EXPECT_EQ(inst.read("htdocs/app/loginCache.properties").find("anna"), std::string::npos);
  EXPECT_EQ(server->output().find("geheim77"), std::string::npos) << "password in the output";
}

TEST_F(OnlineSessionTest, LocalSoapEndpointMasksPasswords) {
  start();
  const std::string body =
      "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body>"
      "<ns:echo xmlns:ns=\"urn:x\"><userName>anna</userName><password>geheim77</password></ns:echo>"
      "</soapenv:Body></soapenv:Envelope>";
  Connection c(server->port());
  c.send("POST /app/services/QuorvelAuctionPort HTTP/1.1\r\nContent-Type: text/xml\r\n"
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_NE(c.readReply().body.find("password=geheim77"), std::string::npos);
  EXPECT_NE(server->output().find("(password ****)"), std::string::npos) << server->output();
  EXPECT_EQ(server->output().find("geheim77"), std::string::npos);

  // A body that does not parse is printed for diagnosis, its passwords masked.
  const std::string broken =
      "<soapenv:Envelope><soapenv:Body><ns:login><ns:password>geheim88</ns:password>"
      "<password a=\"1\">geheim99</password><passwordHint>kept</passwordHint>";
  Connection d(server->port());
  d.send("POST /app/services/QuorvelAuctionPort HTTP/1.1\r\nContent-Type: text/xml\r\n"
         "Content-Length: " + std::to_string(broken.size()) + "\r\n\r\n" + broken);
  EXPECT_EQ(d.readReply().status, "404 file not found");
  EXPECT_NE(server->output().find("<ns:password>****</ns:password><password a=\"1\">****</password>"
                                  "<passwordHint>kept</passwordHint>"),
            std::string::npos)
      << server->output();
  EXPECT_EQ(server->output().find("geheim8"), std::string::npos);
  EXPECT_EQ(server->output().find("geheim9"), std::string::npos);
}

}  // namespace
}  // namespace e2e
