#include "quorvelauction/offline/Server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/BufferedInputStream.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServerImageInfo.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

TEST(ServerTest, AtoiString) {
  const std::pair<const char*, const char*> cases[] = {
      {"15v.jpg", "15"}, {"x15", ""}, {"123", "123"}, {"", ""}, {"007.jpg", "007"}, {"-5.jpg", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Server::atoiString(text), expected) << text;
}

TEST(ServerTest, SortDescendingByDateIsStable) {
  testsupport::TempDir dir;
  const std::pair<const char*, int64_t> files[] = {
      {"a", 1000000}, {"b", 3000000}, {"c", 1000000}, {"d", 2000000}, {"e", 3000000}};
  std::vector<platform::File> list;
  for (const auto& [name, time] : files) {
    platform::File f(dir.write(name, "x"));
    ASSERT_TRUE(f.setLastModified(time));
    list.push_back(f);
  }
  Server::sortDescendingByDate(list);
  std::string order;
  for (const auto& f : list) order += f.getName();
  EXPECT_EQ(order, "bedac");
}

TEST(ServerTest, ReadLine) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", {"GET / HTTP/1.1", "Host: x", "", ""}},
      // A CR before another byte is dropped and that byte kept, even when it
      // is a second CR; a bare LF stays in the line.
      {"a\rb\nc\r\n", {"ab\nc", ""}},
      {"a\r\rb\r\n", {"a\rb", ""}},
      {"x\r\r\ny\r\n", {"x\r\ny", ""}},
      // The end of the stream ends the line, also right after a CR.
      {"tail\r", {"tail", ""}},
      // Bytes above 127 become the characters of the same code.
      {std::string("\xE9\r\n", 3), {"\xC3\xA9", ""}},
  };
  for (const Case& c : cases) {
    platform::ByteArrayInputStream bytes(c.bytes);
    platform::BufferedInputStream in(bytes);
    std::vector<std::string> lines;
    for (size_t i = 0; i < c.lines.size(); ++i) lines.push_back(Server::Handler::readLine(in));
    EXPECT_EQ(lines, c.lines);
  }
}

TEST(ServerTest, ReadLineRefusesOverlongLine) {
  platform::ByteArrayInputStream tooLong(std::string(Server::Handler::MAX_LINE + 1, 'a') + "\r\n");
  platform::BufferedInputStream in(tooLong);
  EXPECT_THROW(Server::Handler::readLine(in), platform::IOException);
  platform::ByteArrayInputStream fitting(std::string(Server::Handler::MAX_LINE, 'a') + "\r\n");
  platform::BufferedInputStream fits(fitting);
  EXPECT_EQ(Server::Handler::readLine(fits).size(), static_cast<size_t>(Server::Handler::MAX_LINE));
}

// The line is scanned in the stream's buffer: every case is read through
// buffers of many sizes, so that each byte, a CR above all, falls at the end
// of a block once. The bytes after the last line must stay unread.
TEST(ServerTest, ReadLineAcrossBufferRefills) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    std::string rest;
  };
  const Case cases[] = {
      {"two lines", "GET / HTTP/1.1\r\nHost: x\r\nbody", {"GET / HTTP/1.1", "Host: x"}, "body"},
      {"CR LF split by a refill", "ab\r\ncd\r\n", {"ab", "cd"}, ""},
      {"CR CR LF", "a\r\r\nb\r\nc", {"a\r\nb"}, "c"},
      {"CR CR LF at the end", "a\r\r\n", {"a\r\n", ""}, ""},
      {"CR CR CR LF", "\r\r\r\nz", {"\r"}, "z"},
      {"bare LF", "a\nb\r\n", {"a\nb"}, ""},
      {"bytes of 0x80 and more", std::string("\x80\xFF\x7F\r\nx", 6), {"\xC2\x80\xC3\xBF\x7F"}, "x"},
      {"0x80 and more after a CR", std::string("a\r\xE9\r\r\xE9\r\n", 8), {"a\xC3\xA9\r\xC3\xA9"}, ""},
      {"end of stream mid-line", "GET / HT", {"GET / HT", ""}, ""},
      {"end of stream after a CR", "abc\r", {"abc", ""}, ""},
      {"empty stream", "", {"", ""}, ""},
      {"empty lines", "\r\n\r\nq", {"", ""}, "q"},
  };
  for (const Case& c : cases) {
    for (int size = 1; size <= static_cast<int>(c.bytes.size()) + 1; ++size) {
      platform::ByteArrayInputStream bytes(c.bytes);
      platform::BufferedInputStream in(bytes, size);
      std::vector<std::string> lines;
      for (size_t i = 0; i < c.lines.size(); ++i) lines.push_back(Server::Handler::readLine(in));
      EXPECT_EQ(lines, c.lines) << c.name << ", buffer of " << size;
      EXPECT_EQ(in.readAll(), c.rest) << c.name << ", buffer of " << size;
    }
  }
}

// The limit counts the line's bytes as they are appended, a byte of 0x80 or
// more as two; a dropped CR does not count.
TEST(ServerTest, ReadLineLimitAcrossBufferRefills) {
  constexpr size_t kMax = Server::Handler::MAX_LINE;
  const std::string full(kMax, 'a');
  const std::string almost(kMax - 1, 'a');
  struct Case {
    const char* name;
    std::string bytes;
    std::optional<size_t> length;  // none: the line is refused
  };
  const Case cases[] = {
      {"exactly the limit", full + "\r\n", kMax},
      {"exactly the limit at the end of the stream", full, kMax},
      {"the limit and a CR at the end of the stream", full + "\r", kMax},
      {"one byte over", full + "b\r\n", std::nullopt},
      {"the limit and a kept CR", full + "\r\r\n", std::nullopt},
      {"two bytes for one below the limit", almost + "\xE9\r\n", kMax + 1},
      {"a byte after those two", almost + "\xE9" + "b\r\n", std::nullopt},
      {"two bytes for one at the limit", full + "\xE9\r\n", std::nullopt},
  };
  for (const Case& c : cases) {
    for (int size : {1, 7, 8192, static_cast<int>(kMax)}) {
      platform::ByteArrayInputStream bytes(c.bytes);
      platform::BufferedInputStream in(bytes, size);
      if (c.length) {
        EXPECT_EQ(Server::Handler::readLine(in).size(), *c.length) << c.name << ", buffer of " << size;
      } else {
        EXPECT_THROW(Server::Handler::readLine(in), platform::IOException)
            << c.name << ", buffer of " << size;
      }
    }
  }
}

TEST(ServerTest, HttpDate) {
  EXPECT_EQ(Server::Handler::httpDate(869893200000LL), "Sat, 26 Jul 1997 05:00:00");
  EXPECT_EQ(Server::Handler::httpDate(0), "Thu, 01 Jan 1970 00:00:00");
  EXPECT_EQ(Server::Handler::httpDate(1790000000123LL), "Mon, 21 Sep 2026 14:13:20");
}

// One text is kept per second: calls in a row within, across and back over a
// second's edge each get their own second.
TEST(ServerTest, HttpDateAcrossSecondEdges) {
  const struct {
    int64_t millis;
    const char* text;
  } kCases[] = {
      {1000, "Thu, 01 Jan 1970 00:00:01"}, {1999, "Thu, 01 Jan 1970 00:00:01"},
      {2000, "Thu, 01 Jan 1970 00:00:02"}, {1000, "Thu, 01 Jan 1970 00:00:01"},
      {999, "Thu, 01 Jan 1970 00:00:00"},  {61000, "Thu, 01 Jan 1970 00:01:01"},
      {61000, "Thu, 01 Jan 1970 00:01:01"}, {0, "Thu, 01 Jan 1970 00:00:00"},
  };
  for (const auto& c : kCases) EXPECT_EQ(Server::Handler::httpDate(c.millis), c.text) << c.millis;
}

TEST(ServerTest, PolicyFileEndsWithOneNul) {
  platform::ByteArrayOutputStream out;
  Server::sendPolicyFile(out);
  const std::string expected =
      "<cross-domain-policy><site-control permitted-cross-domain-policies=\"master-only\"/>"
      "<allow-access-from domain=\"*\" to-ports=\"*\"/></cross-domain-policy>";
  EXPECT_EQ(out.bytes(), expected + std::string(1, '\0'));
}

TEST(ServerTest, ExceptionText) {
  const std::string full = Server::exceptionText(platform::IOException("disk full"));
  const std::string head = "exception:\ndisk full\nstack:\n";
  ASSERT_EQ(full.substr(0, head.size()), head);
  // The reporting thread's frames, innermost first, one per line.
  const std::string frames = full.substr(head.size());
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.back(), '\n');
  EXPECT_EQ(frames.find("\n\n"), std::string::npos);
  size_t inner = frames.find("testing::Test::Run()");
  ASSERT_NE(inner, std::string::npos) << frames;
  EXPECT_LT(inner, frames.find("testing::TestInfo::Run()")) << frames;
  // A failure without a message reads "null" on the second line.
  const std::string text = Server::exceptionText(platform::NullPointerException());
  EXPECT_EQ(text.substr(0, text.find("\nstack:")), "exception:\nnull");
}

class HandlerTest : public ::testing::Test {
 protected:
  Server server;
  Server::Handler handler{server, nullptr};
  platform::Properties props;
};

TEST_F(HandlerTest, EchoListsTheTableInOrder) {
  EXPECT_EQ(handler.evaluateFunction("echo", props), "passed parameters:");
  props.setProperty("func", "echo");
  props.setProperty("a0", "x y");
  props.setProperty("test", "x y");
  EXPECT_EQ(handler.evaluateFunction("echo", props),
            "passed parameters: func=echo a0=x y test=x y");
}

TEST_F(HandlerTest, UnknownAndPendingCommands) {
  for (const char* name : {"Echo", "ECHO", "", "cancelAccount", "getSellerList", "log"}) {
    EXPECT_EQ(handler.evaluateFunction(name, props), "error:unknown function") << name;
  }
}

TEST_F(HandlerTest, TransferStatus) {
  // Other tests of this program move the counters.
  Server::transferStatusSent = 0;
  Server::transferStatusSum = 0;
  EXPECT_EQ(handler.evaluateFunction("offlineGetTransferStatus", props), "0:0");
  Server::transferStatusSent = 5000000000LL;
  Server::transferStatusSum = 7000000000LL;
  EXPECT_EQ(handler.evaluateFunction("offlineGetTransferStatus", props), "5000000000:7000000000");
  Server::transferStatusSent = 0;
  Server::transferStatusSum = 0;
}

TEST_F(HandlerTest, UserImagesReply) {
  Server::userImages.set({});
  EXPECT_EQ(handler.evaluateFunction("userImages", props), "<images></images>");
  Server::ImageInfo a;
  a.id = 12;
  a.type = "Standard";
  Server::ImageInfo b;
  b.id = 7;
  b.type = "swf";
  Server::userImages.set({a, b});
  EXPECT_EQ(handler.userImages(), "<images><12 t=\"Standard\"/><7 t=\"swf\"/></images>");
  Server::userImages.set({});
}

TEST_F(HandlerTest, Crc32) {
  EXPECT_EQ(Server::Handler::crc32(""), 0);
  EXPECT_EQ(Server::Handler::crc32("123456789"), 0xCBF43926LL);
  // The UTF-8 bytes count; values above 2^31 stay positive.
  EXPECT_EQ(Server::Handler::crc32("\xC3\xA4"), 1890972035LL);
  EXPECT_EQ(Server::Handler::crc32("123456789") & 0x80000000LL, 0x80000000LL);
}

// A user folder and application folder in a temporary folder, known to
// GlobalConfig and the server as they are after the start-up.
class HandlerFilesTest : public HandlerTest {
 protected:
  void SetUp() override {
    Server::programPath = dir.path();
    Server::userPath = dir.path();
    common::GlobalConfig::setFileStreamFactoryHelper(&streams);
    common::GlobalConfig::load(dir.path(), dir.path());
    platform::File(dir.path() + "images").mkdirs();
    platform::File(dir.path() + "sounds").mkdirs();
  }
  testsupport::TempDir dir;
  Server::CryptedStreams streams;
};

TEST_F(HandlerFilesTest, NextImageAndSoundIds) {
  struct Case {
    std::vector<std::string> names;
    int32_t expected;
  };
  const Case cases[] = {
      {{}, 1},
      {{"3.jpg", "3v.jpg", "10.swf", "abc"}, 11},
      {{"x"}, 1},
      {{"-5.jpg"}, 1},
      {{"12-90.jpg"}, 1},
      {{"7.jpg", "7v.jpg", "7.jpg.info", "images.txt", "12.swf"}, 13},
      {{"2147483646.jpg"}, 2147483647},
      // Removed images, info files and variants do not count; folders do.
      {{"17.jpg.deleted", "17.jpg.info", "17e.jpg", "4.jpg", "20.dir/"}, 21},
  };
  for (const Case& c : cases) {
    testsupport::TempDir user;
    Server::userPath = user.path();
    common::GlobalConfig::load(dir.path(), user.path());
    platform::File(user.path() + "images").mkdirs();
    for (const std::string& name : c.names) {
      if (name.back() == '/') {
        platform::File(user.path() + "images/" + name).mkdirs();
      } else {
        user.write("images/" + name, "x");
      }
    }
    EXPECT_EQ(handler.createImageId()->id(), c.expected) << ::testing::PrintToString(c.names);
  }
  common::GlobalConfig::load(dir.path(), dir.path());
  Server::userPath = dir.path();
  dir.write("sounds/12.mp3", "x");
  dir.write("sounds/30.mp3.deleted", "x");
  EXPECT_EQ(handler.createSoundId()->id(), 13);
  std::filesystem::remove_all(dir.path() + "sounds");
  EXPECT_THROW(handler.createSoundId(), platform::IOException);
}

TEST_F(HandlerFilesTest, WidgetPages) {
  auto cache = [&](const std::string& widgets) {
    platform::Properties props;
    props.setProperty("userData", "<user><widgets>" + widgets + "</widgets></user>");
    auto out = common::GlobalConfig::createFileOutputStream(dir.path() + "loginCache.properties");
    props.store(*out, std::nullopt);
    out->close();
  };
  dir.write("WEB-INF/auction_de/automatic/a.html", "one\r\ntwo");
  dir.write("WEB-INF/auction_de/automatic/b.html", "thr\xE9" "e\n");
  EXPECT_EQ(handler.addWidgetsDummy("auction_de"), "");  // no login cache yet
  cache("a b");
  EXPECT_EQ(handler.addWidgetsDummy("auction_de"), "one\ntwo\nthr\xC3\xA9" "e\n");
  // A missing page ends the work with what was read before it.
  cache("b missing a");
  EXPECT_EQ(handler.addWidgetsDummy("auction_de"), "thr\xC3\xA9" "e\n");
  cache(" a");
  EXPECT_EQ(handler.addWidgetsDummy("auction_de"), "");
}

}  // namespace
}  // namespace quorvelauction::offline
