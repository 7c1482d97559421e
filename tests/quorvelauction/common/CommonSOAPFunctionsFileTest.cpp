// Loading user and program files below a base folder: the path guard, the
// one-file and multi-file replies, the decoding and the failures.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/File.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"

using quorvelauction::common::CommonSOAPFunctions;
using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::Server;
using testsupport::TempDir;

namespace {

class FixedUser : public quorvelauction::common::UserWrapper {
 public:
  int32_t getUserIdBySessionId(const std::string&) override { return 1; }
  std::string getDomain(int32_t) override { return "auction_de"; }
  std::string getDefaultDomain() override { return "auction_de"; }
};

std::shared_ptr<platform::PrintStream> consoleStream(int fd) {
  return std::make_shared<platform::PrintStream>(
      std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(fd)), true);
}

// A user folder (stored plain) and an application folder below "htdocs/app"
// (stored scrambled), both read through the server's scrambling streams.
class CommonSOAPFunctionsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Server::programPath = dir_.file("program/");
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
  }
  void TearDown() override {
    platform::System::setOut(consoleStream(1));
    platform::System::setErr(consoleStream(2));
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
    Server::programPath.clear();
  }

  std::string user() const { return dir_.file("user/"); }
  std::string app() const { return dir_.file("htdocs/app/"); }

  // Writes the plain bytes through the factory, so the path rule applies.
  void store(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto out = factory_.createFileOutputStream(path);
    out->write(bytes);
    out->close();
  }
  std::string loadUser(const std::string& names) {
    return functions_.loadFileWithPrefix(user(), "WEB-INF/user/", names);
  }
  std::string loadProgram(const std::string& names) {
    return functions_.loadFileWithPrefix(app(), "flash/", names);
  }

  TempDir dir_;
  Server::CryptedStreams factory_;
  FixedUser wrapper_;
  CommonSOAPFunctions functions_{wrapper_};
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
};

TEST_F(CommonSOAPFunctionsFileTest, PathGuardResolvesParentsLinksAndSiblings) {
  const std::string base = user();
  std::filesystem::create_directories(base + "WEB-INF/user/sub");
  std::filesystem::create_directories(base + "WEB-INF/user2");
  std::filesystem::create_directories(dir_.file("elsewhere"));
  ASSERT_EQ(::symlink(dir_.file("elsewhere").c_str(), (base + "WEB-INF/user/out").c_str()), 0);
  ASSERT_EQ(::symlink((base + "WEB-INF/user/sub").c_str(), dir_.file("in").c_str()), 0);

  struct Case {
    std::string path;
    bool inside;
  } cases[] = {
      {base + "WEB-INF/user/notes.xml", true},
      {base + "WEB-INF/user/sub/deeper/missing.xml", true},
      {base + "WEB-INF/user", true},
      {base + "WEB-INF/user/.", true},
      {base + "WEB-INF/user/sub/../notes.xml", true},
      {dir_.file("in/notes.xml"), true},  // a link from outside into the folder
      {base + "WEB-INF/user/../global.properties", false},
      {base + "WEB-INF/user/sub/../../../x", false},
      {base + "WEB-INF/user2/notes.xml", false},  // sibling sharing the name's start
      {base + "WEB-INF/user2", false},
      {base + "WEB-INF/user/out/secret.txt", false},  // a link leading out
      {base + "WEB-INF", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(functions_.validPath(base, "WEB-INF/user/", platform::File(c.path)), c.inside) << c.path;
  }
}

TEST_F(CommonSOAPFunctionsFileTest, OneFileComesBackInOneLineWithoutControlCharacters) {
  store(user() + "WEB-INF/user/notes.xml", "<a>\r\n\tline one\n\x01line two \xE2\x82\xAC\x7F</a>\n");
  EXPECT_EQ(loadUser("notes.xml"), "<a>line oneline two \xE2\x82\xAC\x7F</a>");
  // A UTF-8 byte-order mark is an ordinary character.
  store(user() + "WEB-INF/user/bom.txt", "\xEF\xBB\xBFx");
  EXPECT_EQ(loadUser("bom.txt"), "\xEF\xBB\xBFx");
  store(user() + "WEB-INF/user/empty.txt", "");
  EXPECT_EQ(loadUser("empty.txt"), "");
  EXPECT_EQ(out_.bytes() + err_.bytes(), "");
}

TEST_F(CommonSOAPFunctionsFileTest, ProgramFilesAreReadUnscrambledAndDecodedByTheirMark) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"le.txt", std::string("\xFF\xFE" "A\0\xAC\x20\n\0B\0", 10), "A\xE2\x82\xAC" "B"},
      {"be.txt", std::string("\xFE\xFF\0A\x20\xAC\0\t\0B", 10), "A\xE2\x82\xAC" "B"},
      // Only the mark: nothing as UTF-16, so the bytes are read as UTF-8.
      {"mark.txt", "\xFF\xFE", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"plain.txt", "A\xE2\x82\xAC" "B", "A\xE2\x82\xAC" "B"},
  };
  for (const Case& c : cases) store(app() + "flash/" + c.name, c.bytes);
  ASSERT_NE(TempDir::read(app() + "flash/plain.txt"), "A\xE2\x82\xAC" "B") << "stored scrambled";
  for (const Case& c : cases) EXPECT_EQ(loadProgram(c.name), c.text) << c.name;
}

TEST_F(CommonSOAPFunctionsFileTest, NamesSeparatedByDollarGiveTheMultiFileReply) {
  store(app() + "flash/a.xml", "<a/>\n");
  store(app() + "flash/b.xml", "<b/>");
  store(app() + "flash/one$", "trailing");
  struct Case {
    const char* names;
    std::string reply;
  } cases[] = {
      {"a.xml$b.xml", "<files><file name=\"a.xml\"><a/></file><file name=\"b.xml\"><b/></file></files>"},
      {"$$b.xml$$a.xml$b.xml$",
       "<files><file name=\"b.xml\"><b/></file><file name=\"a.xml\"><a/></file>"
       "<file name=\"b.xml\"><b/></file></files>"},
      {"", "<files></files>"},
      {"$", "<files></files>"},
      {"$$$", "<files></files>"},
      // One name: the whole text, its "$" included, names the file.
      {"one$", "trailing"},
      {"a.xml", "<a/>"},
      // Refused and missing names take their place inside the reply.
      {"a.xml$../../WEB-INF/global.properties$gone.xml",
       "<files><file name=\"a.xml\"><a/></file><file name=\"../../WEB-INF/global.properties\"></file>"
       "<file name=\"gone.xml\">error reading file gone.xml</file></files>"},
  };
  for (const Case& c : cases) EXPECT_EQ(loadProgram(c.names), c.reply) << c.names;
}

TEST_F(CommonSOAPFunctionsFileTest, RefusedMissingAndFolderNamesAnswerAsTheyShould) {
  store(user() + "WEB-INF/global.properties", "secret=1\n");
  store(user() + "WEB-INF/user2/notes.xml", "<secret/>");
  std::filesystem::create_directories(user() + "WEB-INF/user/sub");

  EXPECT_EQ(loadUser("../global.properties"), "");
  EXPECT_EQ(loadUser("../user2/notes.xml"), "");
  EXPECT_EQ(loadUser("sub/../../global.properties"), "");
  EXPECT_EQ(out_.bytes() + err_.bytes(), "") << "a refused name prints nothing";

  EXPECT_EQ(loadUser("missing.xml"), "error reading file missing.xml");
  EXPECT_EQ(out_.bytes(), "file not found: missing.xml\n");

  // A folder, and the prefix folder itself, pass the guard but cannot be read.
  EXPECT_EQ(loadUser("sub"), "error reading file sub");
  EXPECT_EQ(loadUser("."), "error reading file .");
}

}  // namespace
