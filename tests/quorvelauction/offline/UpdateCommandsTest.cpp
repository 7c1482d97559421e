#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/System.h"
#include "quorvelauction/offline/SessionFixture.h"
#include "quorvelauction/offline/TransferWatch.h"
#include "quorvelauction/offline/UpdateServlet.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

using Answer = testsupport::OnlineService::SoapAnswer;
using testsupport::TempDir;

class UpdateCommandsTest : public SessionFixture {
 protected:
  void SetUp() override {
    SessionFixture::SetUp();
    Server::programPath = program.path();
    servlet.put("a.txt", "new a");
    servlet.put("lib/b.bin", "new b!");
    servlet.publish();
  }
  int fileDownloads() const {
    int count = 0;
    for (const std::string& r : servlet.requests())
      if (r.rfind("downloadOfflineFiles", 0) == 0 && r.find("filelist.txt") == std::string::npos) ++count;
    return count;
  }

  UpdateServlet servlet{service};
  TempDir program;
};

TEST_F(UpdateCommandsTest, UpdateRunsAfterLoginAndTheCountersShowIt) {
  EXPECT_EQ(call("offlineUpdate"), "ok");
  EXPECT_EQ(TempDir::read(program.file("a.txt")), "new a");
  EXPECT_EQ(TempDir::read(program.file("lib/b.bin")), "new b!");
  const int64_t list = platform::File(servlet.tree.file("filelist.txt")).length();
  EXPECT_EQ(call("offlineGetTransferStatus"), std::to_string(list + 11) + ":11");
  EXPECT_EQ(Server::serverSessionId.get(), "S1");

  EXPECT_EQ(call("offlineUpdate"), "ok");  // nothing left to do
  EXPECT_EQ(call("offlineGetTransferStatus"), "0:0");
  EXPECT_EQ(fileDownloads(), 1);
}

TEST_F(UpdateCommandsTest, CounterMovesWhileTheFilesArrive) {
  const std::string big = incompressible(200000);
  servlet.put("big.bin", big);
  servlet.publish();
  // The list comes first, whole; then the files, in pieces.
  const int64_t list = platform::File(servlet.tree.file("filelist.txt")).length();
  TransferWatch watch(server, list, list + 11 + 200000);
  servlet.sendFilesInPieces(20, watch.hold());
  EXPECT_EQ(call("offlineUpdate"), "ok");
  EXPECT_TRUE(watch.sawPartOfTheTransfer());
  EXPECT_EQ(TempDir::read(program.file("big.bin")), big);
  EXPECT_EQ(call("offlineGetTransferStatus"), std::to_string(list + 11 + 200000) + ":" + std::to_string(11 + 200000));
}

TEST_F(UpdateCommandsTest, PolledCountersOnlyGrowDuringARun) {
  servlet.put("big.bin", std::string(4 << 20, 'b'));
  servlet.publish();
  Server::transferStatusSent = 0;
  Server::transferStatusSum = 0;
  std::atomic<bool> done{false};
  std::vector<std::pair<int64_t, int64_t>> seen;
  std::thread poller([&] {
    Server::Handler own{server, nullptr};
    platform::Properties props;
    while (!done) {
      const std::string status = own.evaluateFunction("offlineGetTransferStatus", props);
      const size_t colon = status.find(':');
      seen.emplace_back(std::stoll(status.substr(0, colon)), std::stoll(status.substr(colon + 1)));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_EQ(call("offlineUpdate"), "ok");
  done = true;
  poller.join();
  const int64_t sum = 11 + (4 << 20);
  const int64_t sent = platform::File(servlet.tree.file("filelist.txt")).length() + sum;
  EXPECT_EQ(call("offlineGetTransferStatus"), std::to_string(sent) + ":" + std::to_string(sum));
  // The sum grows while files are scheduled, the sent count while they arrive.
  for (size_t i = 0; i < seen.size(); ++i) {
    EXPECT_LE(seen[i].first, sent);
    EXPECT_LE(seen[i].second, sum);
    if (i > 0) {
      EXPECT_GE(seen[i].first, seen[i - 1].first);
      EXPECT_GE(seen[i].second, seen[i - 1].second);
    }
  }
}

TEST_F(UpdateCommandsTest, UpdateAnswers) {
  EXPECT_EQ(call("offlineUpdate", {{"a0", "ignored"}}), "ok");
  service.clearRecords();

  program.write("filelist.txt", "");  // behind again
  program.write("a.txt", "damaged");
  servlet.spoil("a.txt", 2);
  EXPECT_EQ(call("offlineUpdate"), "error:update failed");

  program.write("dont_update.txt", "");
  servlet.clearRequests();
  EXPECT_EQ(call("offlineUpdate"), "ok");
  EXPECT_TRUE(servlet.requests().empty());
  platform::File(program.file("dont_update.txt")).remove();

  service.answer("login", Answer::value("error:wrong password"));
  EXPECT_EQ(call("offlineUpdate"), "error:wrong password");
  service.answer("login", Answer::close());  // the login itself fails
  EXPECT_EQ(call("offlineUpdate").rfind("error:", 0), 0u);
  EXPECT_TRUE(servlet.requests().empty());

  unreachable();
  EXPECT_EQ(call("offlineUpdate"), "error:not_online");
}

TEST_F(UpdateCommandsTest, OnOfflineUpdateAnswersAsTheCommand) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    const char* answer;
  };
  const Case cases[] = {
      {"update runs", [] {}, "ok"},
      {"update fails",
       [this] {
         program.write("filelist.txt", "");
         program.write("a.txt", "damaged");
         servlet.spoil("a.txt", 4);
       },
       "error:update failed"},
      {"marker", [this] { program.write("dont_update.txt", ""); }, "ok"},
      {"login refused", [this] { service.answer("login", Answer::value("error:wrong password")); },
       "error:wrong password"},
  };
  for (const Case& c : cases) {
    c.setUp();
    platform::Properties props;
    props.setProperty("sessionId", "ignored");
    EXPECT_EQ(handler.onOfflineUpdate(props), c.answer) << c.name;
    EXPECT_EQ(call("offlineUpdate"), c.answer) << c.name;
  }
  EXPECT_EQ(TempDir::read(program.file("lib/b.bin")), "new b!");
}

TEST_F(UpdateCommandsTest, RunsNeverOverlap) {
  std::vector<std::string> answers(4);
  std::vector<std::thread> threads;
  for (std::string& answer : answers) {
    threads.emplace_back([this, &answer] {
      Server::Handler own{server, nullptr};
      platform::Properties props;
      answer = own.evaluateFunction("offlineUpdate", props);
    });
  }
  for (std::thread& t : threads) t.join();
  for (const std::string& answer : answers) EXPECT_EQ(answer, "ok");
  EXPECT_EQ(fileDownloads(), 1);  // the later runs found the files current
  EXPECT_EQ(TempDir::read(program.file("a.txt")), "new a");
}

TEST_F(UpdateCommandsTest, NeedsUpdate) {
  struct Case {
    const char* name;
    const char* marker;  // a marker file in the program folder, or nullptr
    bool installed;      // the program folder holds the service's list
    const char* answer;
    const char* query;  // nullptr: no query sent
  };
  const Case cases[] = {
      {"behind", nullptr, false, "1", "getOfflineFilelistInfoWithDomain"},
      {"current", nullptr, true, "0", "getOfflineFilelistInfoWithDomain"},
      {"second set", "update2.txt", false, "1", "getOfflineFilelistInfo2WithDomain"},
      {"marker", "dont_update.txt", false, "0", nullptr},
  };
  for (const Case& c : cases) {
    TempDir fresh;
    Server::programPath = fresh.path();
    if (c.marker) fresh.write(c.marker, "");
    if (c.installed) fresh.write("filelist.txt", TempDir::read(servlet.tree.file("filelist.txt")));
    servlet.clearRequests();
    service.clearRecords();
    EXPECT_EQ(call("offlineNeedsUpdate"), c.answer) << c.name;
    std::vector<std::string> expected;
    if (c.query) expected.push_back(c.query);
    EXPECT_EQ(servlet.requests(), expected) << c.name;
    if (!c.query) {
      EXPECT_TRUE(service.events().empty()) << c.name;
    }
  }
  servlet.offerNothing();
  Server::programPath = program.path();
  EXPECT_EQ(call("offlineNeedsUpdate"), "0");
}

TEST_F(UpdateCommandsTest, NeedsUpdateRefreshesTheStoreOncePerDay) {
  auto storeCalls = [this] {
    int count = 0;
    for (const auto& call : service.soapCalls()) count += call.function == "getStore";
    return count;
  };
  call("offlineNeedsUpdate");
  EXPECT_EQ(store(), "<store>new</store>");
  EXPECT_EQ(storeCalls(), 1);
  call("offlineNeedsUpdate");
  EXPECT_EQ(storeCalls(), 1);
  // Written two days ago: refreshed again.
  platform::File(user.file("store.xml")).setLastModified(platform::System::currentTimeMillis() - 2 * 86400000LL);
  call("offlineNeedsUpdate");
  EXPECT_EQ(storeCalls(), 2);
}

}  // namespace
}  // namespace quorvelauction::offline
