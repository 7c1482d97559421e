#include "quorvelauction/offline/UpdateSwap.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

using testsupport::TempDir;
using Files = std::vector<std::pair<std::string, std::optional<std::string>>>;  // nullopt: absent

class UpdateSwapTest : public ::testing::Test {
 protected:
  std::string run(const std::vector<std::string>& names) {
    try {
      UpdateSwap(dir.path(), names).run();
    } catch (const platform::IOException& e) {
      return e.message();
    }
    return "";
  }
  // The file's content, or nullopt when it is missing.
  std::optional<std::string> content(const std::string& name) const {
    if (!platform::File(dir.file(name)).exists()) return std::nullopt;
    return TempDir::read(dir.file(name));
  }

  TempDir dir;
};

TEST_F(UpdateSwapTest, AnExistingBackupIsNeverOverwritten) {
  struct Case {
    const char* name;
    std::vector<std::string> names;
    Files before;
    std::string failure;
    Files after;
  };
  const Case cases[] = {
      {"one name twice", {"a.txt", "a.txt"}, {{"a.txt", "old a"}}, "cannot move aside ",
       {{"a.txt", "old a"}, {"a.txt.update", "new a"}, {"a.txt.backup", std::nullopt}, {"filelist.txt", "old list"}}},
      {"a backup from elsewhere", {"a.txt"}, {{"a.txt", "old a"}, {"a.txt.backup", "older a"}}, "cannot move aside ",
       {{"a.txt", "old a"}, {"a.txt.backup", "older a"}, {"filelist.txt", "old list"}}},
      // The only old copy of a file that was missing goes once the new one is in place.
      {"a backup beside a missing file", {"a.txt"}, {{"a.txt.backup", "old a"}}, "",
       {{"a.txt", "new a"}, {"a.txt.backup", std::nullopt}, {"filelist.txt", "new list"}}},
  };
  for (const Case& c : cases) {
    dir.write("a.txt.update", "new a");
    dir.write("filelist.txt", "old list");
    dir.write("filelist.txt.update", "new list");
    for (const auto& [name, bytes] : c.before) dir.write(name, *bytes);
    const std::string failure = run(c.names);
    EXPECT_EQ(failure, c.failure.empty() ? "" : c.failure + dir.file("a.txt")) << c.name;
    for (const auto& [name, bytes] : c.after) EXPECT_EQ(content(name), bytes) << c.name << ": " << name;
    for (const char* name : {"a.txt", "a.txt.update", "a.txt.backup", "filelist.txt", "filelist.txt.update"})
      platform::File(dir.file(name)).remove();
  }
}

}  // namespace
}  // namespace quorvelauction::offline
