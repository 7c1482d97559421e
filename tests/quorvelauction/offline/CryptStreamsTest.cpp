#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/CryptHelper.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"

using namespace quorvelauction::offline;
using platform::File;
using testsupport::TempDir;

namespace {

// A program folder and a web root below a fresh temporary folder.
class CryptStreams : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.file("program"));
    std::filesystem::create_directories(dir_.file("htdocs/app/WEB-INF"));
    std::filesystem::create_directories(dir_.file("htdocs/app/images"));
    Server::programPath = dir_.file("program/");
  }
  void TearDown() override { Server::programPath.clear(); }

  std::string scrambledPath() const { return dir_.file("htdocs/app/WEB-INF/data.bin"); }
  std::string plainPath() const { return dir_.file("htdocs/app/images/12.jpg"); }

  static std::string sample(size_t n) {
    std::string bytes;
    for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
    return bytes;
  }
  static void writeAll(const std::string& path, const std::string& bytes) {
    CryptedFileOutputStream out(path);
    out.write(bytes);
    out.close();
  }
  static std::string readAll(const std::string& path) {
    CryptedFileInputStream in(path);
    return in.readAll();
  }

  TempDir dir_;
};

// The key table as a scrambled file of zero bytes shows it.
std::string keyStream(const std::string& path, size_t n) {
  {
    CryptedFileOutputStream out(path);
    out.write(std::string(n, '\0'));
  }
  return TempDir::read(path);
}

}  // namespace

TEST_F(CryptStreams, KeyTableIsFixedAndRepeatsEvery70Bytes) {
  std::string key = keyStream(scrambledPath(), 141);
  ASSERT_EQ(key.size(), 141u);
  for (size_t i = 0; i < 70; ++i) {
    EXPECT_NE(key[i], '\0') << "entry " << i << " must be 1..255";
    EXPECT_EQ(key[i + 70], key[i]) << i;
  }
  EXPECT_EQ(key[140], key[0]);
  // Stored installations depend on the table: it must never change.
  EXPECT_EQ(key.substr(0, 8), "\xd6\x8e\x4e\x7c\x79\x40\xb0\x26");
  EXPECT_EQ(key.substr(62, 8), "\x33\xed\x1e\x79\x45\xd9\x59\x1b");
}

TEST_F(CryptStreams, ScrambledFileReadsBackPlainWithTheSameLength) {
  const std::string plain = sample(71);
  writeAll(scrambledPath(), plain);
  std::string stored = TempDir::read(scrambledPath());
  std::string key = keyStream(dir_.file("htdocs/key.bin"), 71);
  ASSERT_EQ(stored.size(), 71u);
  for (size_t i = 0; i < 71; ++i) EXPECT_EQ(stored[i], static_cast<char>(plain[i] ^ key[i])) << i;
  EXPECT_EQ(readAll(scrambledPath()), plain);

  writeAll(plainPath(), plain);
  EXPECT_EQ(TempDir::read(plainPath()), plain);
  EXPECT_EQ(readAll(plainPath()), plain);
}

TEST_F(CryptStreams, EmptyFile) {
  writeAll(scrambledPath(), "");
  EXPECT_EQ(File(scrambledPath()).length(), 0);
  CryptedFileInputStream in(scrambledPath());
  char buffer[4];
  EXPECT_EQ(in.read(), -1);
  EXPECT_EQ(in.read(buffer, 0, 4), -1);
}

TEST_F(CryptStreams, AnyChunkingReadsAndWritesTheSameBytes) {
  const std::string plain = sample(5000);
  writeAll(scrambledPath(), plain);
  const std::string stored = TempDir::read(scrambledPath());

  for (int chunk : {1, 7, 70, 1024}) {
    for (bool withSkips : {false, true}) {
      CryptedFileInputStream in(scrambledPath());
      std::string got;
      std::string buffer(chunk, '\0');
      for (int round = 0;; ++round) {
        if (withSkips && round % 3 == 2) {
          size_t before = got.size();
          int64_t skipped = in.skip(13);
          got += plain.substr(before, static_cast<size_t>(skipped));  // what was skipped
          if (skipped < 13) break;
          continue;
        }
        if (round % 5 == 4) {  // single-byte reads in between
          int b = in.read();
          if (b < 0) break;
          got.push_back(static_cast<char>(b));
          continue;
        }
        int n = in.read(buffer.data(), 0, chunk);
        if (n < 0) break;
        got.append(buffer.data(), n);
      }
      EXPECT_EQ(got, plain) << "chunk " << chunk << (withSkips ? " with skips" : "");
    }
  }

  for (size_t chunk : {1, 3, 69, 70, 71, 4096}) {
    CryptedFileOutputStream out(scrambledPath());
    for (size_t at = 0; at < plain.size(); at += chunk) {
      if (chunk == 3 && at % 2 == 0) {
        for (size_t i = at; i < std::min(plain.size(), at + chunk); ++i) out.write(plain[i]);
      } else {
        out.write(std::string_view(plain).substr(at, chunk));
      }
    }
    out.close();
    EXPECT_EQ(TempDir::read(scrambledPath()), stored) << "chunk " << chunk;
  }
}

// Reads are served from blocks of 64 KiB read ahead, or go straight to the
// file when they are at least that large: every mix of sizes, across block
// boundaries and with the key position anywhere, gives the plain bytes.
TEST_F(CryptStreams, ReadsAcrossReadAheadBlocks) {
  constexpr int kBlock = 64 * 1024;
  struct Case {
    const char* what;
    std::vector<int> sizes;  // repeated until the end; 1 means read()
  };
  const Case cases[] = {
      {"block-sized reads", {kBlock}},
      {"reads larger than a block", {kBlock + 1}},
      {"a small read, then reads of a block", {5, kBlock, kBlock}},
      {"reads ending one short of a block", {kBlock - 1}},
      {"single bytes around a boundary", {kBlock - 2, 1, 1, 1, 1, 4096}},
      {"a large read right after a partial block", {100, kBlock * 2, 3}},
      {"4 KiB reads", {4096}},
  };
  for (bool scrambled : {true, false}) {
    const std::string path = scrambled ? scrambledPath() : plainPath();
    const std::string plain = sample(3 * kBlock + 123);
    writeAll(path, plain);
    for (const Case& c : cases) {
      CryptedFileInputStream in(path);
      std::string got;
      std::vector<char> buffer(3 * kBlock);
      for (size_t round = 0;; ++round) {
        int size = c.sizes[round % c.sizes.size()];
        if (size == 1) {
          int b = in.read();
          if (b < 0) break;
          got.push_back(static_cast<char>(b));
          continue;
        }
        int n = in.read(buffer.data(), 1, size);
        if (n < 0) break;
        ASSERT_GT(n, 0) << c.what;
        ASSERT_LE(n, size) << c.what;
        got.append(buffer.data() + 1, n);
      }
      EXPECT_EQ(got, plain) << c.what << (scrambled ? ", scrambled" : ", plain");
    }
  }
}

TEST_F(CryptStreams, ClosedStreamFailsAlsoWithBytesReadAhead) {
  writeAll(scrambledPath(), sample(1000));
  CryptedFileInputStream in(scrambledPath());
  char buffer[10];
  ASSERT_EQ(in.read(buffer, 0, 10), 10);
  in.close();
  EXPECT_THROW(in.read(buffer, 0, 10), platform::IOException);
  EXPECT_THROW(in.read(), platform::IOException);
}

TEST_F(CryptStreams, RangesTouchOnlyTheirBytes) {
  const std::string b = "0123456789";
  std::string copy = b;
  {
    CryptedFileOutputStream out(scrambledPath());
    out.write(copy.data(), 2, 3);
  }
  EXPECT_EQ(copy, b) << "the caller's array stays unchanged";
  EXPECT_EQ(readAll(scrambledPath()), "234");
  EXPECT_EQ(TempDir::read(scrambledPath()).size(), 3u);

  CryptedFileInputStream in(scrambledPath());
  std::string target = "abcdefgh";
  EXPECT_EQ(in.read(target.data(), 4, 4), 3);
  EXPECT_EQ(target, "abcd234h");
}

TEST_F(CryptStreams, SignExtendedBytesScrambleLikeTheirLowBits) {
  CryptHelper a{File(scrambledPath())};
  CryptHelper b{File(scrambledPath())};
  for (int value = -128; value < 128; ++value) {
    EXPECT_EQ(a.crypt(value) & 0xFF, b.crypt(value & 0xFF) & 0xFF) << value;
  }
}

TEST_F(CryptStreams, PathRule) {
  struct Case {
    std::string path;
    bool scrambled;
  };
  const std::string root = dir_.path();
  const Case cases[] = {
      {root + "htdocs/app/WEB-INF/global.properties", true},
      {root + "htdocs/app/images/12.jpg", false},
      {root + "htdocs/app/sounds/3.mp3", false},
      {root + "htdocs/images/logo.gif", true},  // images outside the application folder
      {root + "htdocs/index.html", true},
      {root + "program/id.txt", false},
      {root + "HTDOCS/app/x.txt", false},  // case-sensitive
      {root + "htdocs/happy/x.txt", true},  // "app" inside a longer word counts...
      {root + "htdocs/happy/images2/x.txt", false},  // ...and so does "images"
      {root + "htdocs/user/images.txt", true},  // no "app": "images" does not count
      {root + "C:\\Prog\\htdocs\\app\\WEB-INF\\global.properties", true},
      {root + "C:\\Prog\\htdocs\\app\\images\\12.jpg", false},
      {root + "C:\\Prog\\htdocs\\images\\logo.gif", true},
      {root + "x/../htdocs/index.html", true},  // not made canonical
      {"htdocs/index.html", true},  // relative: against the working folder
  };
  for (const auto& c : cases) {
    CryptHelper helper{File(c.path)};
    EXPECT_EQ(helper.crypt(0) != 0, c.scrambled) << c.path;
  }
}

TEST_F(CryptStreams, DontCryptFileTurnsScramblingOffForNewStreams) {
  const std::string plain = sample(100);
  CryptedFileOutputStream early(scrambledPath());
  dir_.write("program/dont_crypt.txt", "");
  writeAll(dir_.file("htdocs/index.html"), plain);
  EXPECT_EQ(TempDir::read(dir_.file("htdocs/index.html")), plain);
  early.write(plain);
  early.close();
  EXPECT_NE(TempDir::read(scrambledPath()), plain) << "a stream opened before keeps its form";
  std::filesystem::remove(dir_.file("program/dont_crypt.txt"));
  EXPECT_EQ(readAll(scrambledPath()), plain);
}

TEST_F(CryptStreams, FilesThatCannotBeOpened) {
  EXPECT_THROW(CryptedFileInputStream(dir_.file("htdocs/missing.txt")), platform::FileNotFoundException);
  EXPECT_THROW(CryptedFileInputStream(dir_.file("htdocs")), platform::FileNotFoundException);
  EXPECT_THROW(CryptedFileOutputStream(dir_.file("htdocs/no/such/x.txt")), platform::FileNotFoundException);
}

TEST_F(CryptStreams, FactoryOpensThroughTheScramblingStreams) {
  Server::CryptedStreams factory;
  quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&factory);
  quorvelauction::common::GlobalConfig::load(dir_.file("htdocs/app/"), dir_.file("htdocs/app/user/"));

  {
    auto out = factory.createFileOutputStream(File(scrambledPath()));
    out->write(std::string_view("a longer first content"));
    out->close();
  }
  {
    auto out = factory.createFileOutputStream(scrambledPath());
    out->write(std::string_view("short"));
    out->close();
  }
  EXPECT_EQ(File(scrambledPath()).length(), 5) << "writing starts an empty file";
  EXPECT_NE(TempDir::read(scrambledPath()), "short");
  EXPECT_EQ(factory.createFileInputStream(scrambledPath())->readAll(), "short");
  EXPECT_EQ(factory.createFileInputStream(File(scrambledPath()))->readAll(), "short");
  EXPECT_EQ(quorvelauction::common::GlobalConfig::createFileInputStream(scrambledPath())->readAll(), "short");
  EXPECT_THROW(factory.createFileInputStream(dir_.file("missing")), platform::FileNotFoundException);

  // mkdirs is relative to the user folder and never reports a failure.
  factory.mkdirs("a/b/c");
  EXPECT_TRUE(File(dir_.file("htdocs/app/user/a/b/c")).isDirectory());
  factory.mkdirs("a/b/c");
  dir_.write("htdocs/app/user/file", "x");
  EXPECT_NO_THROW(factory.mkdirs("file/sub"));
  quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(nullptr);
}
