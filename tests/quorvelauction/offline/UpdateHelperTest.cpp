#include "quorvelauction/offline/UpdateHelper.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/UpdateServlet.h"
#include "support/CaptureOut.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

using testsupport::TempDir;
using Requests = std::vector<std::string>;

// Empties the folder.
void clear(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) std::filesystem::remove_all(entry);
}

// One list line for the given content.
std::string line(const std::string& name, const std::string& bytes) {
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
  return name + "*" + std::to_string(bytes.size()) + "*" + std::to_string(crc) + "\n";
}

class UpdateHelperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static auctiontest::PlainFiles files;
    common::GlobalConfig::setFileStreamFactoryHelper(&files);
    app.write("WEB-INF/global.properties", "defaultDomain=auction_de\n");
    common::GlobalConfig::load(app.path(), app.path());
    Server::programPath = program.path();
    Server::transferStatusSent = 7;
    Server::transferStatusSum = 7;
  }
  void TearDown() override { common::GlobalConfig::setFileStreamFactoryHelper(nullptr); }

  void run() { UpdateHelper::doUpdate(program.path(), service.host(), "S1"); }
  // The message of the failed run; "" when it succeeded.
  std::string failure() {
    try {
      run();
    } catch (const platform::Exception& e) {
      return e.message();
    }
    return "";
  }
  bool exists(const std::string& name) const { return platform::File(program.file(name)).exists(); }
  std::string installed(const std::string& name) const { return TempDir::read(program.file(name)); }
  // The program folder holds exactly the tree's list and files.
  void installMatching() {
    for (const char* name : {"a.txt", "b.txt"}) program.write(name, TempDir::read(servlet.tree.file(name)));
    program.write("filelist.txt", TempDir::read(servlet.tree.file("filelist.txt")));
  }

  testsupport::OnlineService service;
  UpdateServlet servlet{service};
  TempDir app;
  TempDir program;
};

TEST_F(UpdateHelperTest, NothingToDo) {
  servlet.put("a.txt", "new a");
  servlet.put("b.txt", "new b");
  servlet.publish();
  installMatching();
  program.write("a.txt", "changed since");  // an identical list is trusted
  testsupport::CaptureOut out;
  run();
  EXPECT_EQ(servlet.requests(), Requests{"getOfflineFilelistInfoWithDomain"});
  EXPECT_EQ(out.text(), "doUpdate start, filelist: " + program.file("filelist.txt") + "\n");
  EXPECT_EQ(installed("a.txt"), "changed since");
  EXPECT_EQ(Server::transferStatusSent.load(), 0);
  EXPECT_EQ(Server::transferStatusSum.load(), 0);

  clear(program);
  servlet.offerNothing();  // no list offered: no download even without a local list
  run();
  EXPECT_EQ(servlet.requests().size(), 2u);
}

TEST_F(UpdateHelperTest, FreshInstallMakesFoldersAndSkipsMatchingFiles) {
  servlet.put("a.txt", "alpha");
  servlet.put("sub/deep/b.txt", "bravo!");
  servlet.put("c.txt", "same");
  servlet.publish();
  program.write("c.txt", "same");
  program.write("a.txt.backup", "stale");
  run();
  EXPECT_EQ(installed("a.txt"), "alpha");
  EXPECT_EQ(installed("sub/deep/b.txt"), "bravo!");
  EXPECT_EQ(installed("filelist.txt"), TempDir::read(servlet.tree.file("filelist.txt")));
  for (const char* work : {"a.txt.backup", "a.txt.update", "sub/deep/b.txt.update", "filelist.txt.update",
                           "filelist.txt.backup", "c.txt.update"})
    EXPECT_FALSE(exists(work)) << work;
  Requests requests = servlet.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1], "downloadOfflineFilesWithDomain filelist.txt");
  EXPECT_NE(requests[2].find(" a.txt"), std::string::npos);
  EXPECT_NE(requests[2].find(" sub/deep/b.txt"), std::string::npos);
  EXPECT_EQ(requests[2].find("c.txt"), std::string::npos);
  const int64_t listSize = platform::File(servlet.tree.file("filelist.txt")).length();
  EXPECT_EQ(Server::transferStatusSum.load(), 11);
  EXPECT_EQ(Server::transferStatusSent.load(), listSize + 11);
}

TEST_F(UpdateHelperTest, BadDownloadsAreTriedOnceMore) {
  struct Case {
    const char* name;
    int spoiled;
    const char* failure;
  };
  for (const Case c : {Case{"one bad", 1, ""}, Case{"two bad", 2, "update failed"}}) {
    servlet.put("a.txt", "new a");
    servlet.put("b.txt", "new b");
    servlet.publish();
    program.write("a.txt", "old a");
    program.write("b.txt", "old b");
    program.write("filelist.txt", line("a.txt", "old a") + line("b.txt", "old b"));
    servlet.spoil("b.txt", c.spoiled);
    testsupport::CaptureOut out;
    EXPECT_EQ(failure(), c.failure) << c.name;
    EXPECT_NE(out.text().find("download failed: " + program.file("b.txt") + "\n"), std::string::npos) << c.name;
    if (c.spoiled == 1) {
      EXPECT_EQ(installed("a.txt"), "new a") << c.name;
      EXPECT_EQ(installed("b.txt"), "new b") << c.name;
      EXPECT_GT(Server::transferStatusSent.load(), Server::transferStatusSum.load()) << c.name;
    } else {
      EXPECT_EQ(installed("a.txt"), "old a") << c.name;
      EXPECT_EQ(installed("filelist.txt"), line("a.txt", "old a") + line("b.txt", "old b")) << c.name;
      EXPECT_FALSE(exists("a.txt.update")) << c.name;
      EXPECT_FALSE(exists("b.txt.update")) << c.name;
      EXPECT_TRUE(exists("filelist.txt.update")) << c.name;
      EXPECT_NE(out.text().find("second download failed\n"), std::string::npos) << c.name;
    }
    Requests requests = servlet.requests();
    ASSERT_GE(requests.size(), 2u) << c.name;
    EXPECT_EQ(requests[requests.size() - 1], requests[requests.size() - 2]) << c.name;  // all names again
    servlet.clearRequests();
    clear(program);
  }
}

TEST_F(UpdateHelperTest, TheListItselfIsChecked) {
  servlet.put("a.txt", "new a");
  servlet.publish();
  servlet.spoil("filelist.txt", 1);
  run();
  EXPECT_EQ(installed("a.txt"), "new a");

  clear(program);
  servlet.clearRequests();
  servlet.spoil("filelist.txt", 2);
  EXPECT_EQ(failure(), "update failed");
  EXPECT_FALSE(exists("a.txt"));
  EXPECT_FALSE(exists("filelist.txt.update"));
  for (const std::string& r : servlet.requests()) EXPECT_EQ(r.find("a.txt"), std::string::npos) << r;
}

TEST_F(UpdateHelperTest, NamesLeadingOutAreRefusedBeforeAnythingIsWritten) {
  for (const char* bad : {"../evil.txt", "sub/../../evil.txt", "..\\evil.txt", "/tmp/evil.txt", "C:\\evil.txt",
                          "c:evil.txt", "./a.txt", "sub//a.txt", "sub/", "", "filelist.txt"}) {
    TempDir fresh;
    Server::programPath = fresh.path() + "inner/";
    platform::File(Server::programPath).mkdirs();
    servlet.put("ok/x.txt", "fine");
    servlet.publishList(line("ok/x.txt", "fine") + line(bad, "evil"));
    std::string message;
    try {
      UpdateHelper::doUpdate(Server::programPath, service.host(), "S1");
    } catch (const platform::Exception& e) {
      message = e.message();
    }
    EXPECT_EQ(message, std::string("bad name in update file list: ") + bad) << bad;
    EXPECT_FALSE(platform::File(Server::programPath + "ok").exists()) << bad;
    EXPECT_FALSE(platform::File(fresh.file("evil.txt")).exists()) << bad;
    EXPECT_FALSE(platform::File(fresh.file("evil.txt.update")).exists()) << bad;
    EXPECT_EQ(servlet.requests().size(), 2u) << bad;  // the query and the list, no file
    servlet.clearRequests();
  }
}

TEST_F(UpdateHelperTest, ListWhoseNamesMeetOnDiskLeavesTheInstalledFiles) {
  const std::string oldList = line("a.txt", "old a");
  for (const std::string& list : {line("a.txt", "new a") + line("a.txt", "new a"),
                                  line("sub\\a.txt", "new a") + line("sub/a.txt", "new a"),
                                  line("a.txt", "new a") + line("filelist.txt.update", "junk"),
                                  line("a.txt", "new a") + line("docs", "a file")}) {
    servlet.put("a.txt", "new a");
    servlet.put("sub/a.txt", "new a");
    servlet.put("filelist.txt.update", "junk");
    servlet.put("docs", "a file");
    servlet.publishList(list);
    program.write("a.txt", "old a");
    program.write("sub/a.txt", "old a");
    program.write("docs/mine.txt", "mine");
    program.write("filelist.txt", oldList);
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(failure().rfind("bad name in update file list: ", 0), 0u) << list;
      EXPECT_EQ(installed("a.txt"), "old a") << list;
      EXPECT_EQ(installed("sub/a.txt"), "old a") << list;
      EXPECT_EQ(installed("filelist.txt"), oldList) << list;
      EXPECT_EQ(installed("docs/mine.txt"), "mine") << list;
      EXPECT_FALSE(exists("docs.backup")) << list;
    }
    clear(program);
  }
}

// The states a kill leaves in the middle of the swap, set up on disk: the next
// run puts them right before it looks at anything else.
TEST_F(UpdateHelperTest, InterruptedSwapIsPutRightAtTheStart) {
  servlet.put("a.txt", "new a");
  servlet.put("b.txt", "new b");
  servlet.publish();
  const std::string oldList = line("a.txt", "old a") + line("b.txt", "old b");
  const std::string newList = TempDir::read(servlet.tree.file("filelist.txt"));
  using Files = std::vector<std::pair<std::string, std::optional<std::string>>>;  // nullopt: absent
  const Files betweenMoves{{"a.txt.backup", "old a"}, {"a.txt.update", "new a"}, {"b.txt", "old b"},
                           {"filelist.txt", oldList}, {"filelist.txt.update", newList}};
  struct Case {
    const char* name;
    Files before;
    int spoiled;  // bad downloads of a.txt
    const char* failure;
    Files after;
  };
  const Case cases[] = {
      {"between the two moves of a file, then no good download", betweenMoves, 2, "update failed",
       {{"a.txt", "old a"}, {"a.txt.backup", std::nullopt}, {"b.txt", "old b"}, {"filelist.txt", oldList}}},
      {"between the two moves of a file", betweenMoves, 0, "",
       {{"a.txt", "new a"}, {"a.txt.backup", std::nullopt}, {"b.txt", "new b"}, {"filelist.txt", newList}}},
      {"between two files",
       {{"a.txt", "new a"}, {"a.txt.backup", "old a"}, {"b.txt", "old b"}, {"b.txt.update", "new b"},
        {"filelist.txt", oldList}, {"filelist.txt.update", newList}},
       0, "",
       {{"a.txt", "new a"}, {"a.txt.backup", std::nullopt}, {"b.txt", "new b"}, {"filelist.txt", newList}}},
      {"after the new list, before the old copies went",
       {{"a.txt", "new a"}, {"a.txt.backup", "old a"}, {"b.txt", "new b"}, {"b.txt.backup", "old b"},
        {"filelist.txt", newList}},
       0, "", {{"a.txt", "new a"}, {"a.txt.backup", std::nullopt}, {"b.txt.backup", std::nullopt}}},
      {"old copies that no list vouches for stay",
       {{"a.txt", "edited"}, {"a.txt.backup", "old a"}, {"b.txt", "new b"}, {"notes.txt.backup", "mine"},
        {"filelist.txt", newList}},
       0, "",
       {{"a.txt", "edited"}, {"a.txt.backup", "old a"}, {"notes.txt", std::nullopt},
        {"notes.txt.backup", "mine"}}},
  };
  for (const Case& c : cases) {
    for (const auto& [name, bytes] : c.before) program.write(name, *bytes);
    servlet.spoil("a.txt", c.spoiled);
    EXPECT_EQ(failure(), c.failure) << c.name;
    for (const auto& [name, bytes] : c.after) {
      if (bytes) {
        EXPECT_EQ(exists(name) ? installed(name) : "(absent)", *bytes) << c.name << ": " << name;
      } else {
        EXPECT_FALSE(exists(name)) << c.name << ": " << name;
      }
    }
    clear(program);
  }
}

TEST_F(UpdateHelperTest, WindowsSeparatorsStayOnTheWire) {
  servlet.put("sub/b.txt", "bravo");
  servlet.publishList(line("sub\\b.txt", "bravo"));
  run();
  EXPECT_EQ(installed("sub/b.txt"), "bravo");
  EXPECT_EQ(servlet.requests().back(), "downloadOfflineFilesWithDomain sub\\b.txt");
  run();  // the installed list now names it the same way: nothing to do
  EXPECT_EQ(servlet.requests().size(), 4u);
}

TEST_F(UpdateHelperTest, SecondSetOfFiles) {
  servlet.put("a.txt", "new a");
  servlet.publish();
  program.write("update2.txt", "");
  run();
  Requests requests = servlet.requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "getOfflineFilelistInfo2WithDomain");
  EXPECT_EQ(requests[1], "downloadOfflineFiles2WithDomain filelist.txt");
  EXPECT_EQ(requests[2], "downloadOfflineFiles2WithDomain a.txt");
}

TEST_F(UpdateHelperTest, FailedMoveIsRolledBack) {
  servlet.put("a.txt", "new a");
  servlet.put("b.txt", "new b");
  servlet.publishList(line("a.txt", "new a") + line("b.txt", "new b"));
  const std::string oldList = line("a.txt", "old a") + line("b.txt", "old b");
  program.write("a.txt", "old a");
  program.write("b.txt", "old b");
  program.write("filelist.txt", oldList);
  // A folder where b's old version must go aside: the move fails, after a is in place.
  program.write("b.txt.backup/keep", "x");
  std::string message = failure();
  EXPECT_EQ(message, "cannot move aside " + program.file("b.txt"));
  EXPECT_EQ(installed("a.txt"), "old a");
  EXPECT_EQ(installed("b.txt"), "old b");
  EXPECT_EQ(installed("filelist.txt"), oldList);
  EXPECT_FALSE(exists("a.txt.backup"));
  EXPECT_FALSE(exists("filelist.txt.backup"));

  platform::File(program.file("b.txt.backup/keep")).remove();
  platform::File(program.file("b.txt.backup")).remove();
  run();  // once the way is free, the next run completes
  EXPECT_EQ(installed("a.txt"), "new a");
  EXPECT_EQ(installed("b.txt"), "new b");
}

}  // namespace
}  // namespace quorvelauction::offline
