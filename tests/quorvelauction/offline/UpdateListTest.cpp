#include "quorvelauction/offline/UpdateList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

class UpdateListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static auctiontest::PlainFiles files;
    common::GlobalConfig::setFileStreamFactoryHelper(&files);
  }
  void TearDown() override { common::GlobalConfig::setFileStreamFactoryHelper(nullptr); }

  // name|listed|size|checksum per entry.
  std::vector<std::string> read(const std::string& text, bool checked = true) {
    std::vector<std::string> out;
    for (const UpdateList::Entry& e : UpdateList::read(dir.write("filelist.txt", text), checked))
      out.push_back(e.file.name + "|" + e.listed + "|" + std::to_string(e.file.size) + "|" +
                    std::to_string(e.file.checksum));
    return out;
  }

  testsupport::TempDir dir;
};

TEST_F(UpdateListTest, ReadingRules) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"line ends", "a*1*2\r\nb*3*4\rc*5*6\n", {"a|a|1|2", "b|b|3|4", "c|c|5|6"}},
      {"trimmed, blank skipped", "  a*1*2\t\n\n \n", {"a|a|1|2"}},
      {"short lines skipped", "a*1\nb\nc*1*2\n", {"c|c|1|2"}},
      {"later fields ignored", "a*1*2*x*y\n", {"a|a|1|2"}},
      {"trailing empty fields dropped", "a*1**\nb*1*2**\n", {"b|b|1|2"}},
      {"signs and range", "a*-5*4294967295\n", {"a|a|-5|4294967295"}},
      {"windows separators", "sub\\deep\\b.txt*1*2\n", {"sub/deep/b.txt|sub\\deep\\b.txt|1|2"}},
      {"empty list", "", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(read(c.text), c.entries) << c.name;
}

TEST_F(UpdateListTest, FieldThatIsNoNumberFailsTheReading) {
  for (const char* text : {"a*x*2\n", "a*1*2x\n", "a* 1*2\n", "a*2147483648*2\n"})
    EXPECT_THROW(read(text), platform::NumberFormatException) << text;
}

TEST_F(UpdateListTest, UncheckedReadingKeepsAnyName) {
  EXPECT_EQ(read("../x*1*2\n", false), (std::vector<std::string>{"../x|../x|1|2"}));
  EXPECT_THROW(read("ok*1*2\n../x*1*2\n"), platform::IOException);
}

// Two entries that land on one path, or on each other's work files, would let
// one move of the swap overwrite the only old copy of a file.
TEST_F(UpdateListTest, NamesThatMeetOnDiskFailTheCheckedReading) {
  struct Case {
    std::string text;
    const char* refused;  // nullptr: the list is accepted
  };
  const Case cases[] = {
      {"a.txt*1*2\na.txt*1*2\n", "a.txt"},
      {"sub\\a.txt*1*2\nsub/a.txt*3*4\n", "sub/a.txt"},
      {"a.txt.backup*1*2\na.txt*1*2\n", "a.txt.backup"},
      {"sub/a.txt*1*2\nsub\\a.txt.update*1*2\n", "sub\\a.txt.update"},
      {"filelist.txt.update*1*2\n", "filelist.txt.update"},
      {"filelist.txt.backup*1*2\n", "filelist.txt.backup"},
      {"sub/a.txt*1*2\nsub*1*2\n", "sub"},
      {"a.txt*1*2\nA.txt*1*2\nb.txt.backup*1*2\nsub/filelist.txt.update*1*2\nsubway*1*2\nsub/x*1*2\n",
       nullptr},
  };
  for (const Case& c : cases) {
    std::string message;
    try {
      read(c.text);
    } catch (const platform::IOException& e) {
      message = e.message();
    }
    EXPECT_EQ(message, c.refused ? std::string("bad name in update file list: ") + c.refused : "") << c.text;
  }
}

}  // namespace
}  // namespace quorvelauction::offline
