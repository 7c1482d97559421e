#include <gtest/gtest.h>

#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <set>
#include <vector>

#include "ConfigTestSupport.h"
#include "platform/Exceptions.h"
#include "quorvelauction/common/OfflineFile.h"

using quorvelauction::common::OfflineFile;
using testsupport::TempDir;

namespace {

int64_t crcOf(const std::string& bytes) {
  return static_cast<int64_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

std::set<std::string> linesOf(const std::string& text) {
  std::set<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.insert(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "every line ends in a line feed";
  return lines;
}

class OfflineFileTest : public configtest::Installation {};

TEST_F(OfflineFileTest, ListOfAFolder) {
  std::string folder = dir_.file("program/");
  std::filesystem::create_directories(folder + "empty/deeper");
  OfflineFile::createFilelist(folder);
  EXPECT_EQ(std::filesystem::file_size(folder + "filelist.txt"), 0u);

  dir_.write("program/a.txt", "abc");
  EXPECT_EQ(crcOf("abc"), 891568578);
  OfflineFile::createFilelist(folder);
  EXPECT_EQ(TempDir::read(folder + "filelist.txt"), "a.txt*3*891568578\n");

  dir_.write("program/sub/b.txt", "hello");
  dir_.write("program/sub/filelist.txt", "skip");
  dir_.write("program/sub/dont_update.txt", "skip");
  dir_.write("program/dont_update.txt", "");
  dir_.write("program/Dont_Update.txt", "k");
  dir_.write("program/zero", "");
  dir_.write("program/.hidden", "h");
  dir_.write("program/x.update", "u");
  OfflineFile::createFilelist(folder);
  EXPECT_EQ(linesOf(TempDir::read(folder + "filelist.txt")),
            (std::set<std::string>{"a.txt*3*891568578", "sub/b.txt*5*" + std::to_string(crcOf("hello")),
                                   "Dont_Update.txt*1*" + std::to_string(crcOf("k")), "zero*0*0",
                                   ".hidden*1*" + std::to_string(crcOf("h")),
                                   "x.update*1*" + std::to_string(crcOf("u"))}));
}

TEST_F(OfflineFileTest, ListIsDepthFirstInListingOrder) {
  std::string folder = dir_.file("program/");
  dir_.write("program/a/1", "1");
  dir_.write("program/a/b/2", "2");
  dir_.write("program/c", "3");
  OfflineFile::createFilelist(folder);
  std::string text = TempDir::read(folder + "filelist.txt");
  // The lines of a folder stand together, its subfolder's inside them.
  size_t one = text.find("a/1*"), two = text.find("a/b/2*"), three = text.find("c*");
  ASSERT_NE(one, std::string::npos);
  ASSERT_NE(two, std::string::npos);
  ASSERT_NE(three, std::string::npos);
  EXPECT_TRUE(three < std::min(one, two) || three > std::max(one, two)) << text;
}

TEST_F(OfflineFileTest, ScrambledAndPlainFilesGiveTheSameEntries) {
  std::string scrambled = app_ + "WEB-INF/d/offline/";
  std::string plainFolder = dir_.file("program/");
  for (const std::string& folder : {scrambled, plainFolder}) {
    store(folder + "x.bin", std::string("\x00\x01\xFF payload", 11));
  }
  ASSERT_NE(TempDir::read(scrambled + "x.bin"), TempDir::read(plainFolder + "x.bin"));
  OfflineFile::createFilelist(scrambled);
  OfflineFile::createFilelist(plainFolder);
  EXPECT_EQ(plain(scrambled + "filelist.txt"), TempDir::read(plainFolder + "filelist.txt"));
  EXPECT_EQ(OfflineFile::checksumOf(platform::File(scrambled + "x.bin")),
            crcOf(std::string("\x00\x01\xFF payload", 11)));
  EXPECT_THROW(OfflineFile::checksumOf(platform::File(dir_.file("missing"))), platform::IOException);
}

TEST_F(OfflineFileTest, CreateFilelistFailsOnAFolderItCannotMake) {
  dir_.write("blocker", "file");
  EXPECT_THROW(OfflineFile::createFilelist(dir_.file("blocker/sub/")), platform::IOException);
}

TEST_F(OfflineFileTest, NeedsUpdate) {
  std::string path = dir_.write("program/f.txt", "abcd");
  platform::File file(path);
  const std::tuple<OfflineFile, bool, bool> cases[] = {
      // entry, result, file read
      {OfflineFile("f.txt", 4, crcOf("abcd")), false, true},
      {OfflineFile("f.txt", 4, crcOf("abce")), true, true},
      {OfflineFile("f.txt", 5, crcOf("abcd")), true, false},
      {OfflineFile("f.txt", 0, 0), true, false},
  };
  for (const auto& [entry, result, read] : cases) {
    factory_.opened = 0;
    EXPECT_EQ(entry.needsUpdate(file), result) << entry.size << " " << entry.checksum;
    EXPECT_EQ(factory_.opened > 0, read) << entry.size;
  }
  EXPECT_TRUE(OfflineFile("x", 0, 0).needsUpdate(platform::File(dir_.file("program/missing"))));
}

TEST_F(OfflineFileTest, FileOfTwoGibibytesNeverMatches) {
  std::string path = dir_.file("big.bin");
  dir_.write("big.bin", "");
  ASSERT_EQ(truncate(path.c_str(), int64_t{1} << 31), 0);
  OfflineFile entry("big.bin", static_cast<int32_t>(int64_t{1} << 31), 0);
  EXPECT_LT(entry.size, 0);
  factory_.opened = 0;
  EXPECT_TRUE(entry.needsUpdate(platform::File(path)));
  EXPECT_EQ(factory_.opened, 0);
}

TEST_F(OfflineFileTest, UpdatePreparesOnlyChangedFiles) {
  std::string folder = dir_.file("program/");
  dir_.write("program/same.txt", "abc");
  dir_.write("program/same.txt.backup", "keep");
  dir_.write("program/old.txt", "abc");
  dir_.write("program/old.txt.backup", "stale");
  std::vector<std::string> names{"first"};

  EXPECT_FALSE(OfflineFile("same.txt", 3, crcOf("abc")).update(names, folder, "host", "session"));
  EXPECT_EQ(names, std::vector<std::string>{"first"});
  EXPECT_TRUE(std::filesystem::exists(folder + "same.txt.backup"));

  EXPECT_TRUE(OfflineFile("old.txt", 3, crcOf("abd")).update(names, folder, "host", "session"));
  EXPECT_FALSE(std::filesystem::exists(folder + "old.txt.backup"));
  EXPECT_TRUE(std::filesystem::exists(folder + "old.txt"));

  EXPECT_TRUE(OfflineFile("new/deep/n.txt", 1, 1).update(names, folder, "host", "session"));
  EXPECT_TRUE(std::filesystem::is_directory(folder + "new/deep"));
  EXPECT_FALSE(std::filesystem::exists(folder + "new/deep/n.txt"));

  // With the file itself missing, its ".backup" is the only old copy left.
  dir_.write("program/gone.txt.backup", "abc");
  EXPECT_TRUE(OfflineFile("gone.txt", 3, crcOf("abd")).update(names, folder, "host", "session"));
  EXPECT_TRUE(std::filesystem::exists(folder + "gone.txt.backup"));
  EXPECT_EQ(names, (std::vector<std::string>{"first", "old.txt", "new/deep/n.txt", "gone.txt"}));
}

}  // namespace
