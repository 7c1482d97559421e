// The update check of the real server against the stand-in service: the
// file-list query through the transfer servlet and the daily store refresh.

#include <gtest/gtest.h>
#include <utime.h>
#include <zlib.h>

#include <memory>
#include <string>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/File.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "quorvelauction/common/ServiceSingeltons.h"
#include "support/OnlineService.h"

namespace e2e {
namespace {

using quorvelauction::common::ServiceSingeltons;
using testsupport::OnlineService;

const std::string kList = "index.html*19*123\n";

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    service.answer("login", OnlineService::SoapAnswer::value("S9"));
    service.answer("getStore", OnlineService::SoapAnswer::value("<store>today</store>"));
    inst.store("htdocs/app/WEB-INF/global.properties",
               "server.host=" + service.host() + "\ndomains=auction_de\ndefaultDomain=auction_de\n");
  }
  void start() {
    server = std::make_unique<ServerProcess>(inst.folder());
    ASSERT_TRUE(server->running()) << server->output();
  }
  // The service's list entry: status, then name, size and checksum.
  void entry(const std::string& status, int32_t size, int64_t checksum) {
    platform::ByteArrayOutputStream sink;
    platform::ObjectOutputStream out(sink);
    out.writeUTF(status);
    out.writeUTF("filelist.txt");
    out.writeInt(size);
    out.write(std::string{0, 0, 0, 0});
    out.writeInt(static_cast<int32_t>(checksum));
    out.flush();
    std::string body = sink.take();
    service.setHttpHandler([body](const OnlineService::HttpRequest&) {
      OnlineService::HttpReply reply;
      reply.body = body;
      return reply;
    });
  }
  std::optional<std::string> check() {
    Reply reply = get(server->port(), "/app/call?func=offlineNeedsUpdate&a0=x");
    if (reply.body.rfind("result=", 0) != 0) return std::nullopt;
    return ServiceSingeltons::decodeURL(reply.body.substr(7));
  }
  // The texts of each file-list query the servlet received.
  std::vector<std::vector<std::string>> queries() {
    std::vector<std::vector<std::string>> out;
    for (const auto& request : service.httpRequests()) {
      platform::ByteArrayInputStream source(request.body);
      platform::ObjectInputStream in(source);
      out.push_back({in.readUTF(), in.readUTF(), in.readUTF()});
    }
    return out;
  }
  static int64_t crc(const std::string& text) {
    return static_cast<int64_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
  }

  OnlineService service;
  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

TEST_F(UpdateCheckTest, DontUpdateMarkerMakesNoConnection) {
  inst.plain("dont_update.txt", "");
  entry("ok", 5, 1);
  start();
  EXPECT_EQ(check(), "0");
  EXPECT_TRUE(service.events().empty());
  EXPECT_NE(server->output().find("dont_update.txt exists"), std::string::npos);
}

TEST_F(UpdateCheckTest, ListComparisonAndDailyStoreRefresh) {
  start();
  entry("ok", 0, 0);
  EXPECT_EQ(check(), "0");  // size 0: no update, whatever the local list
  EXPECT_EQ(queries().at(0),
            (std::vector<std::string>{"getOfflineFilelistInfoWithDomain", "auction_de", "S9"}));
  EXPECT_EQ(service.events().back(), "soap:getStore");  // no store document yet
  EXPECT_TRUE(platform::File(inst.app() + "store.xml").exists());

  service.clearRecords();
  entry("ok", static_cast<int32_t>(kList.size()), crc(kList));
  EXPECT_EQ(check(), "1");  // local list missing
  inst.plain("filelist.txt", kList);
  EXPECT_EQ(check(), "0");  // same length and checksum
  inst.plain("filelist.txt", "index.html*19*124\n");
  EXPECT_EQ(check(), "1");  // same length, other checksum
  for (const auto& event : service.events()) EXPECT_NE(event, "soap:getStore");  // same day

  service.clearRecords();
  utimbuf yesterday{0, 0};
  yesterday.actime = yesterday.modtime = time(nullptr) - 2 * 86400;
  ASSERT_EQ(utime((inst.app() + "store.xml").c_str(), &yesterday), 0);
  EXPECT_EQ(check(), "1");
  EXPECT_EQ(service.events().back(), "soap:getStore");
}

TEST_F(UpdateCheckTest, SecondListCommandAndRefusal) {
  inst.plain("update2.txt", "");
  start();
  entry("error:no list", 0, 0);
  EXPECT_EQ(check(), std::nullopt);  // the refusal fails the command
  EXPECT_EQ(queries().at(0).at(0), "getOfflineFilelistInfo2WithDomain");
  for (const auto& event : service.events()) EXPECT_NE(event, "soap:getStore");
}

}  // namespace
}  // namespace e2e
