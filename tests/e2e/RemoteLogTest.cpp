// Remote log records of the running server: sent once an online session
// exists, never before, and never in the way of the request that fails.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "quorvelauction/offline/Server.h"
#include "support/OnlineService.h"

namespace e2e {
namespace {

using testsupport::OnlineService;

struct Record {
  std::string command, session, type, text;
};

Record decode(const std::string& body) {
  platform::ByteArrayInputStream source(body);
  platform::ObjectInputStream in(source);
  Record r;
  r.command = in.readUTF();
  r.session = in.readUTF();
  r.type = in.readUTF();
  r.text = in.readUTF();
  EXPECT_EQ(in.read(), -1);
  return r;
}

std::string okReply() {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  out.writeUTF("ok");
  out.flush();
  return sink.take();
}

class RemoteLogTest : public ::testing::Test {
 protected:
  // The server process inherits the session id set here, as after a login.
  void start(const std::string& session) {
    inst.store("htdocs/app/WEB-INF/global.properties",
               "server.host=" + service.host() + "\ndomains=auction_de\ndefaultDomain=auction_de\n");
    quorvelauction::offline::Server::serverSessionId.set(session);
    server = std::make_unique<ServerProcess>(inst.folder());
    quorvelauction::offline::Server::serverSessionId.set("");
    ASSERT_TRUE(server->running()) << server->output();
  }
  std::string call(const std::string& query) {
    Reply reply = get(server->port(), "/app/call?" + query);
    EXPECT_EQ(reply.status, "200 Ok") << query;
    return reply.body;
  }
  // The records the service has received once count have come.
  std::vector<Record> records(size_t count) {
    for (int i = 0; i < 3000 && service.httpRequests().size() < count; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<Record> out;
    for (const auto& request : service.httpRequests()) {
      EXPECT_EQ(request.target, "/app/communication");
      out.push_back(decode(request.body));
    }
    return out;
  }

  OnlineService service;
  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

TEST_F(RemoteLogTest, NothingIsSentBeforeASession) {
  service.setHttpHandler([](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = okReply();
    return reply;
  });
  start("");
  EXPECT_EQ(call("func=offlineLog&a0=frontend&a1=hello"), "result=ok");
  EXPECT_EQ(get(server->port(), "/missing.html").status.substr(0, 3), "404");
  EXPECT_TRUE(service.httpRequests().empty());
}

TEST_F(RemoteLogTest, FrontEndRecordAndFailingGetAreSentInOrder) {
  service.setHttpHandler([](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = okReply();
    return reply;
  });
  start("S-77");
  EXPECT_EQ(call("func=offlineLog&a0=frontend&a1=caf%C3%A9"), "result=ok");
  EXPECT_EQ(get(server->port(), "/missing.html").status.substr(0, 3), "404");
  std::vector<Record> got = records(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].command, "log");
  EXPECT_EQ(got[0].session, "S-77");
  EXPECT_EQ(got[0].type, "frontend");
  EXPECT_EQ(got[0].text, "caf\xC3\xA9");
  EXPECT_EQ(got[1].type, "offlineException");
  EXPECT_EQ(got[1].text.rfind("exception:\n", 0), 0u) << got[1].text;
  EXPECT_NE(got[1].text.find("\nstack:\n"), std::string::npos) << got[1].text;
}

TEST_F(RemoteLogTest, SilentServletDoesNotHoldTheReply) {
  std::atomic<bool> released{false};
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    OnlineService::HttpReply reply;
    reply.body = okReply();
    return reply;
  });
  start("S-1");
  EXPECT_EQ(get(server->port(), "/missing.html").status.substr(0, 3), "404");
  EXPECT_EQ(get(server->port(), "/missing2.html").status.substr(0, 3), "404");
  EXPECT_EQ(call("func=offlineLog&a0=t&a1=x"), "result=ok");
  // Both replies came while the servlet still held the first record.
  EXPECT_FALSE(released);
  released = true;
  EXPECT_EQ(records(3).size(), 3u);
}

}  // namespace
}  // namespace e2e
