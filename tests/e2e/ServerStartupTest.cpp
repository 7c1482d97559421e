// The start-up of the server process: folders, start-up files, the user
// folder argument, the background image scan and the ways it ends early.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/File.h"

namespace e2e {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ServerStartupTest, UserFolderFromTheArgument) {
  testsupport::TempDir user;
  const std::string bare = user.path() + "data";
  struct Case {
    std::optional<std::string> argument;
    std::string passed;
    std::string userPath;  // "" for the application folder, "." for the working folder
  };
  const Case cases[] = {
      {std::nullopt, "null", ""},
      {"", "", ""},
      {"\"\"", "", "."},  // given, though empty once the quotes are off
      {bare, bare, bare + "/"},
      {"\"" + bare + "\"", bare, bare + "/"},
  };
  for (const Case& c : cases) {
    Installation inst;  // fresh: the first start makes the folders it uses
    const std::string userPath = c.userPath.empty() ? inst.app() : c.userPath == "." ? inst.folder() : c.userPath;
    ServerProcess server(inst.folder(), c.argument);
    ASSERT_TRUE(server.running());
    const std::string out = server.output();
    EXPECT_TRUE(contains(out, "passedPath: " + c.passed + "\n")) << out;
    EXPECT_TRUE(contains(out, "path: " + inst.app() + "\n")) << out;
    EXPECT_TRUE(contains(out, "userPath: " + userPath + "\n")) << out;
    EXPECT_TRUE(contains(out, "server: service.quorvelauction.invalid\n")) << out;
    for (const char* folder : {"images", "sounds", "WEB-INF/user/auction"}) {
      EXPECT_TRUE(platform::File(userPath + folder).isDirectory()) << folder;
    }
  }
  // The collector seed was copied into the outside user folder, plain there.
  EXPECT_EQ(testsupport::TempDir::read(bare + "/WEB-INF/user/collector.xml"), "<collector/>\n");
  // An application folder with "images" keeps the user data: the argument is
  // ignored.
  Installation inst;
  inst.plain("htdocs/app/images/.keep", "");
  ServerProcess server(inst.folder(), bare);
  EXPECT_TRUE(contains(server.output(), "userPath: " + inst.app() + "\n"));
}

TEST(ServerStartupTest, DebugMarkerSendsDatedLinesToTheLog) {
  Installation inst;
  {
    ServerProcess server(inst.folder());
    EXPECT_FALSE(platform::File(inst.folder() + "log.txt").exists());
  }
  inst.plain("log.txt", "old run\n");
  inst.plain("debug.txt", "");
  ServerProcess server(inst.folder());
  Connection c(server.port());
  c.send("POST /app/call HTTP/1.1\r\n\r\n");  // no func: a printed trace and a 404
  c.readReply();
  const std::string log = inst.read("log.txt");
  EXPECT_FALSE(contains(log, "old run"));
  static const std::regex dated(
      "(^|\n)[A-Z][a-z]{2} [A-Z][a-z]{2} [0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] \\S+ "
      "[0-9]{4} passedPath: null\n");
  EXPECT_TRUE(std::regex_search(log, dated)) << log;
  // Standard error goes there as well.
  EXPECT_TRUE(contains(log, "NullPointerException")) << log;
  EXPECT_EQ(server.output(), "");
}

TEST(ServerStartupTest, DevelopmentLayoutMovesTheFolders) {
  Installation outer;
  outer.plain(".project", "");
  Installation inner;
  // The whole installation below OfflineRelease.
  std::filesystem::rename(inner.folder(), outer.folder() + "OfflineRelease");
  ServerProcess server(outer.folder());
  ASSERT_TRUE(server.running());
  EXPECT_TRUE(contains(server.output(), "path: " + outer.folder() + "OfflineRelease/htdocs/app/\n"));
  EXPECT_EQ(get(server.port(), "/main/readme.txt").body, "program folder file\n");
}

TEST(ServerStartupTest, StartFailuresEndWithProgramExit) {
  struct Case {
    const char* what;
    void (*prepare)(const Installation&);
  };
  const Case cases[] = {
      {"no messages.properties",
       [](const Installation& i) { std::filesystem::remove(i.folder() + "messages.properties"); }},
      {"blank before the number", [](const Installation& i) { i.plain("id.txt", " 4711\n"); }},
      {"empty id.txt", [](const Installation& i) { i.plain("id.txt", ""); }},
  };
  for (const Case& c : cases) {
    Installation inst;
    c.prepare(inst);
    ServerProcess server(inst.folder());
    EXPECT_EQ(server.waitForExit(), 0) << c.what;
    EXPECT_TRUE(contains(server.output(), "program exit\n")) << c.what;
  }
  // Without id.txt the server starts.
  Installation inst;
  std::filesystem::remove(inst.folder() + "id.txt");
  ServerProcess server(inst.folder());
  EXPECT_TRUE(server.running());
}

TEST(ServerStartupTest, MissingHostSettingLeavesTheHostAbsent) {
  Installation inst;
  inst.store("htdocs/app/WEB-INF/global.properties", "domains=auction_de\n");
  ServerProcess server(inst.folder());
  ASSERT_TRUE(server.running());
  EXPECT_TRUE(contains(server.output(), "server: null\n"));
}

TEST(ServerStartupTest, SecondCopyOnTheSamePortEnds) {
  Installation inst;
  ServerProcess first(inst.folder());
  ASSERT_TRUE(first.running());
  Installation other;
  ServerProcess second(other.folder(), std::nullopt, first.port());
  EXPECT_EQ(second.waitForExit(), 0);
  EXPECT_TRUE(contains(second.output(), "program exit\n"));
  EXPECT_FALSE(contains(second.output(), "userPath: "));
  EXPECT_EQ(get(first.port(), "/index.html").status, "200 Ok");
}

// A self-update killed between the two moves of one file leaves the file
// missing and its old version as ".backup"; the next start puts it back
// before it reads any installed file, also the ones it cannot start without.
TEST(ServerStartupTest, InterruptedUpdateIsPutRightBeforeTheStart) {
  struct Case {
    const char* file;
    const char* listed;  // as a list written on Windows may name it
    const char* list;    // the list that names it
    std::function<void(const ServerProcess&)> check;
  };
  const Case cases[] = {
      {"messages.properties", "messages.properties", "filelist.txt", [](const ServerProcess& server) {
         EXPECT_TRUE(contains(server.output(), "userPath: ")) << server.output();
       }},
      {"htdocs/app/WEB-INF/global.properties", "htdocs\\app\\WEB-INF\\global.properties", "filelist.txt.update",
       [](const ServerProcess& server) {
         EXPECT_TRUE(contains(server.output(), "server: service.quorvelauction.invalid\n")) << server.output();
       }},
      {"htdocs/index.html", "htdocs/index.html", "filelist.txt",
       [](const ServerProcess& server) { EXPECT_EQ(get(server.port(), "/index.html").body, "<html>start</html>\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Installation inst;
    const std::string old = inst.read(c.file);
    std::filesystem::rename(inst.folder() + c.file, inst.folder() + c.file + ".backup");
    inst.plain(std::string(c.file) + ".update", "new version");
    inst.plain(c.list, std::string(c.listed) + "*11*12345\n");
    ServerProcess server(inst.folder());
    ASSERT_TRUE(server.running()) << server.output();
    EXPECT_EQ(inst.read(c.file), old);
    EXPECT_FALSE(platform::File(inst.folder() + c.file + ".backup").exists());
    c.check(server);
  }
}

TEST(ServerStartupTest, ImageScanListsNewestFirst) {
  Installation inst;
  struct File {
    const char* name;
    const char* content;
    int64_t time;
  };
  const File files[] = {
      {"12.jpg", "j", 9000000}, {"12t.jpg", "t", 8000000},    {"12.jpg.info", "Ebay\n", 1000000},
      {"7.swf", "s", 7000000},  {"7.jpg", "j", 6000000},      {"0009.jpg", "j", 5000000},
      {"9.jpg.info", " \n", 1}, {"5.jpg.deleted", "d", 4000000}, {"ab", "x", 3000000},
  };
  for (const File& f : files) {
    inst.plain(std::string("htdocs/app/images/") + f.name, f.content);
    platform::File(inst.app() + "images/" + f.name).setLastModified(f.time);
  }
  ServerProcess server(inst.folder());
  const std::string expected =
      "result=" + std::string("%3Cimages%3E%3C12+t%3D%22Ebay%22%2F%3E%3C7+t%3D%22swf%22%2F%3E"
                              "%3C9+t%3D%22Standard%22%2F%3E%3C%2Fimages%3E");
  std::string reply;
  // The scan runs beside the server; wait until it is through.
  for (int attempt = 0; attempt < 500 && reply != expected; ++attempt) {
    reply = get(server.port(), "/app/call?func=userImages&a0=s").body;
  }
  EXPECT_EQ(reply, expected);
  EXPECT_FALSE(platform::File(inst.app() + "images/5.jpg.deleted").exists());
}

}  // namespace
}  // namespace e2e
