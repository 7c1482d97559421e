#include "quorvelauction/offline/SimpleSoap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/NetExceptions.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/OnlineService.h"
#include "xml/DocumentException.h"

namespace quorvelauction::offline {
namespace {

using testsupport::OnlineService;
using Answer = OnlineService::SoapAnswer;
using namespace std::chrono_literals;

class SimpleSoapTest : public ::testing::Test {
 protected:
  void SetUp() override { Server::trustAll(); }
  void TearDown() override { ServiceTimeouts::reset(); }

  std::string call(const std::string& function, const std::vector<SimpleSoap::Pair>& pairs = {}) {
    return SimpleSoap::soapFunction(service_.host(), function, pairs);
  }

  OnlineService service_;
};

TEST_F(SimpleSoapTest, RequestBytesAreExact) {
  service_.answer("login", Answer::value("S1"));
  EXPECT_EQ(call("login", {{"userName", "jörg €"}, {"password", "a&<b>\""}, {"domain", std::nullopt}}),
            "S1");
  const std::string body =
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"><SOAP-ENV:Body xmlns:ns1=\"QuorvelAuction\">"
      "<ns1:login SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
      "<userName xsi:type=\"xsd:string\">jörg €</userName>"
      "<password xsi:type=\"xsd:string\">a&amp;&lt;b&gt;&quot;</password>"
      "<domain xsi:type=\"xsd:string\"></domain></ns1:login></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  // 497 characters; "ö" is two bytes and "€" three: the length counts bytes.
  ASSERT_EQ(body.size(), 500u);
  const std::string expected =
      "POST /app/services/QuorvelAuctionPort HTTP/1.0\r\nContent-Type: text/xml;charset=utf-8\r\n"
      "Content-Length: 500\r\nSOAPAction: \"\"\r\n\r\n" + body;
  auto calls = service_.soapCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].raw, expected);
  EXPECT_EQ(calls[0].function, "login");
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(calls[0].pairs, (Pairs{{"userName", "jörg €"}, {"password", "a&<b>\""}, {"domain", ""}}));
}

TEST_F(SimpleSoapTest, EmptyParameterListGivesEmptyOperationElement) {
  EXPECT_NE(SimpleSoap::request("ping", {}).find(
                "<ns1:ping SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
                "</ns1:ping></SOAP-ENV:Body>"),
            std::string::npos);
  EXPECT_THROW(SimpleSoap::request("ping", {{"only"}}), platform::IndexOutOfBoundsException);
}

// The text every caller gets, and whether the call knew it for a fault.
TEST_F(SimpleSoapTest, AnswerShapes) {
  const std::string envelope = "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\">";
  const std::string header = "<e:Header><h><t>head</t></h></e:Header>";
  // 150,000 bytes of three-byte characters: reads of 65,536 bytes end inside characters.
  std::string euros;
  for (int i = 0; i < 50000; ++i) euros += "\xE2\x82\xAC";
  const auto reply = [&](const std::string& inside) {
    return Answer::raw("HTTP/1.0 200 OK\r\n\r\n" + envelope + inside + "</e:Envelope>");
  };
  const struct {
    const char* name;
    Answer answer;
    std::string expected;
    bool fault;
  } cases[] = {
      {"regular", Answer::value("ok ä€ "), "ok ä€ ", false},
      {"characters across reads", Answer::value(euros), euros, false},
      {"fault", Answer::fault("soapenv:Server"), "soapenv:Server", true},
      {"empty return", Answer::value(""), "", false},
      {"own text only", reply("<e:Body><r><v>a<x>b</x>c</v></r></e:Body>"), "ac", false},
      {"header first", reply(header + "<e:Body><r><v>body</v></r></e:Body>"), "head", false},
      {"fault after a header", reply(header + "<e:Body><e:Fault><c>x</c></e:Fault></e:Body>"), "head", true},
      {"return element named Fault", reply("<e:Body><r><Fault>v</Fault></r></e:Body>"), "v", false},
      {"no blank line", Answer::raw("abc<a><b><c><d>deep</d></c></b></a>"), "deep", false},
      {"status 500 with a body", Answer::httpStatus(500, "<a><b><c><d>x</d></c></b></a>"), "x", false},
      {"no close notice",
       Answer::raw("HTTP/1.0 200 OK\r\n\r\n<a><b><c><d>cut</d></c></b></a>", false), "cut", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    service_.answer("f", c.answer);
    EXPECT_EQ(call("f"), c.expected);
    const SimpleSoap::Answer answer = SimpleSoap::call(service_.host(), "f", {});
    EXPECT_EQ(answer.text, c.expected);
    EXPECT_EQ(answer.fault, c.fault);
  }
}

TEST_F(SimpleSoapTest, BrokenAnswersFail) {
  const auto expectThrow = [&](Answer answer, auto exception) {
    service_.answer("f", answer);
    EXPECT_THROW(call("f"), decltype(exception));
  };
  expectThrow(Answer::raw("ab"), platform::IndexOutOfBoundsException());
  expectThrow(Answer::close(), platform::IndexOutOfBoundsException());
  expectThrow(Answer::raw("abc"), xml::DocumentException(""));
  expectThrow(Answer::raw("HTTP/1.0 200 OK\r\n\r\n<a><b/></a>"), platform::NoSuchElementException());
  expectThrow(Answer::raw("abc<a><b><c>v</c></b></a>"), platform::NoSuchElementException());
  expectThrow(Answer::httpStatus(404, "not here"), xml::DocumentException(""));
}

TEST_F(SimpleSoapTest, SilentPeerMeetsReadTimeOut) {
  ServiceTimeouts::set(1s, 1s, 200ms);
  service_.answer("f", Answer::silence());
  EXPECT_THROW(call("f"), platform::SocketTimeoutException);
}

TEST_F(SimpleSoapTest, OversizedAnswerFailsWithIOError) {
  service_.answer("f", Answer::raw("HTTP/1.0 200 OK\r\n\r\n" + std::string(SimpleSoap::kMaxAnswer, 'x')));
  EXPECT_THROW(call("f"), platform::IOException);
}

TEST_F(SimpleSoapTest, ServesCallsConcurrently) {
  service_.answer("echo", OnlineService::SoapResponder([](const OnlineService::SoapCall& c) {
                    return Answer::value(c.pairs.at(0).second);
                  }));
  std::vector<std::thread> threads;
  std::vector<std::string> results(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { results[i] = call("echo", {{"n", std::to_string(i)}}); });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(results[i], std::to_string(i));
  EXPECT_EQ(service_.soapCalls().size(), 8u);
}

}  // namespace
}  // namespace quorvelauction::offline
