#include "quorvelauction/offline/OnlineCommunication.h"

#include <gtest/gtest.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/ObjectOutputStream.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/CaptureOut.h"
#include "support/ObjectBytes.h"
#include "support/OnlineService.h"
#include "support/ZlibBytes.h"
#include "support/TempDir.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::OnlineCommunication;
using quorvelauction::offline::Server;
using testsupport::OnlineService;
using testsupport::replyOf;
using testsupport::TempDir;

namespace {

using testsupport::zlibOf;

// Plain files; a path ending in ".short" reads only half of its bytes, as a
// file that shrank while being sent.
class PlainFiles : public quorvelauction::common::FileStreamFactory {
 public:
  void mkdirs(const std::string&) override {}
  platform::OutputStreamPtr createFileOutputStream(const std::string& path) override {
    return std::make_unique<platform::FileOutputStream>(path);
  }
  platform::OutputStreamPtr createFileOutputStream(const platform::File& file) override {
    return createFileOutputStream(file.getPath());
  }
  platform::InputStreamPtr createFileInputStream(const std::string& path) override;
  platform::InputStreamPtr createFileInputStream(const platform::File& file) override {
    return createFileInputStream(file.getPath());
  }
};

class HalfStream : public platform::InputStream {
 public:
  HalfStream(const std::string& path, int64_t length) : in_(path), left_(length / 2) {}
  using InputStream::read;
  int read(char* buffer, int offset, int count) override {
    if (left_ == 0) return -1;
    int got = in_.read(buffer, offset, static_cast<int>(std::min<int64_t>(count, left_)));
    if (got > 0) left_ -= got;
    return got;
  }

 private:
  platform::FileInputStream in_;
  int64_t left_;
};

// Pauses before every read, as a slow disk would.
class SlowStream : public platform::FileInputStream {
 public:
  using FileInputStream::FileInputStream;
  using InputStream::read;
  int read(char* buffer, int offset, int count) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return FileInputStream::read(buffer, offset, count);
  }
};

platform::InputStreamPtr PlainFiles::createFileInputStream(const std::string& path) {
  if (path.size() > 5 && path.substr(path.size() - 5) == ".slow") return std::make_unique<SlowStream>(path);
  if (path.size() > 6 && path.substr(path.size() - 6) == ".short") {
    return std::make_unique<HalfStream>(path, platform::File(path).length());
  }
  return std::make_unique<platform::FileInputStream>(path);
}

// Field bytes as the wire carries them, joined over records.
std::string utf(const std::string& text) {
  return std::string{static_cast<char>(text.size() >> 8), static_cast<char>(text.size())} + text;
}
std::string i32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}
std::string i64(uint64_t v) { return i32(static_cast<uint32_t>(v >> 32)) + i32(static_cast<uint32_t>(v)); }

// The contents of a body's records, joined; fails the test on a bad frame.
std::string joined(const std::string& body) {
  EXPECT_EQ(body.substr(0, 4), std::string("\xAC\xED\x00\x05", 4));
  std::string data;
  for (size_t at = 4; at < body.size();) {
    unsigned char code = body[at];
    size_t length;
    if (code == 0x77) {
      length = static_cast<unsigned char>(body[at + 1]);
      at += 2;
    } else {
      EXPECT_EQ(code, 0x7A);
      length = (static_cast<unsigned char>(body[at + 1]) << 24) |
               (static_cast<unsigned char>(body[at + 2]) << 16) |
               (static_cast<unsigned char>(body[at + 3]) << 8) | static_cast<unsigned char>(body[at + 4]);
      at += 5;
    }
    data += body.substr(at, length);
    at += length;
  }
  return data;
}

std::optional<std::string> header(const OnlineService::HttpRequest& request, const std::string& name) {
  for (const auto& [key, value] : request.headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return std::nullopt;
}


class OnlineCommunicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GlobalConfig::setFileStreamFactoryHelper(&files_);
    dir_.write("WEB-INF/global.properties", "defaultDomain=auction_de\n");
    GlobalConfig::load(dir_.path(), dir_.path());
    Server::transferStatusSent = 0;
  }
  void TearDown() override { GlobalConfig::setFileStreamFactoryHelper(nullptr); }

  static OnlineService::HttpHandler answer(std::string fields) { return answerBody(replyOf(fields)); }
  static OnlineService::HttpHandler answerBody(std::string body, int status = 200) {
    return [body, status](const OnlineService::HttpRequest&) {
      OnlineService::HttpReply reply;
      reply.status = status;
      reply.body = body;
      return reply;
    };
  }
  // A servlet that runs service calls on its own handler.
  struct Servlet {
    explicit Servlet(OnlineService::HttpHandler handler) { service.setHttpHandler(std::move(handler)); }
    std::string host() const { return service.host(); }
    std::vector<OnlineService::HttpRequest> requests() const { return service.httpRequests(); }
    OnlineService service;
  };

  TempDir dir_;
  PlainFiles files_;
};

TEST_F(OnlineCommunicationTest, RequestFieldsOfEveryOperation) {
  std::string file = dir_.write("pic.jpg", "JPEGDATA");
  dir_.write("clip.swf", "SWF!!");
  dir_.write("clip.jpg", "jpg");
  std::string empty = dir_.write("empty.mp3", "");
  std::string base = dir_.file("clip");
  struct Case {
    const char* name;
    std::function<void(const std::string& host)> call;
    std::string fields;
  };
  const Case cases[] = {
      {"uploadFirstImage",
       [&](auto& h) { OnlineCommunication::uploadFirstImage(h, file, "S1", 42, "3.jpg"); },
       utf("imageUpload") + utf("S1") + i32(42) + utf("3.jpg") + utf("first") + i32(8) + "JPEGDATA"},
      {"uploadImage", [&](auto& h) { OnlineCommunication::uploadImage(h, file, "S1", -1, "c", "d"); },
       utf("imageUpload") + utf("S1") + i32(0xFFFFFFFF) + utf("c") + utf("d") + i32(8) + "JPEGDATA"},
      {"uploadSound",
       [&](auto& h) { OnlineCommunication::uploadSound(h, empty, "S1", 7, "1.mp3", "Standard"); },
       utf("soundUpload") + utf("S1") + i32(7) + utf("1.mp3") + utf("Standard") + i32(0)},
      {"uploadScaledImage",
       [&](auto& h) { OnlineCommunication::uploadScaledImage(h, file, "S1", 5, 6, "v.jpg"); },
       utf("uploadScaledImage") + utf("S1") + i32(5) + i32(6) + utf("v.jpg") + i32(8) + "JPEGDATA"},
      {"uploadVideoAndImage",
       [&](auto& h) { OnlineCommunication::uploadVideoAndImage(h, base, "S1", 9, "2.jpg"); },
       utf("videoAndImageUpload") + utf("S1") + i32(9) + utf("2.jpg") + utf("swf") + i32(5) +
           "SWF!!" + i32(3) + "jpg"},
      {"log", [&](auto& h) { OnlineCommunication::log(h, "S1", "offlineException", "x\xC3\xA9"); },
       utf("log") + utf("S1") + utf("offlineException") + utf("x\xC3\xA9")},
  };
  for (const Case& c : cases) {
    Servlet servlet(answer(utf("17")));
    c.call(servlet.host());
    auto requests = servlet.requests();
    ASSERT_EQ(requests.size(), 1u) << c.name;
    const auto& request = requests[0];
    EXPECT_EQ(request.method, "POST") << c.name;
    EXPECT_EQ(request.target, "/app/communication") << c.name;
    EXPECT_EQ(header(request, "Content-Type"), "application/x-java-serialized-object") << c.name;
    EXPECT_EQ(header(request, "Content-Length"), std::to_string(request.body.size())) << c.name;
    EXPECT_EQ(header(request, "Expect"), std::nullopt) << c.name;
    EXPECT_EQ(joined(request.body), c.fields) << c.name;
  }
}

TEST_F(OnlineCommunicationTest, BodyExamplesByteForByte) {
  Servlet servlet(answer(utf("ok")));
  OnlineCommunication::log(servlet.host(), "", "", "");
  EXPECT_EQ(servlet.requests()[0].body,
            std::string("\xAC\xED\x00\x05\x77\x0B\x00\x03log\x00\x00\x00\x00\x00\x00", 17));
  std::string file = dir_.write("a.jpg", std::string(2000, 'p'));
  OnlineCommunication::uploadFirstImage(servlet.host(), file, "S", 1, "1.jpg");
  std::string body = servlet.requests()[1].body;
  // Full records of 1,024 bytes, the flush's rest in the long form.
  EXPECT_EQ(body.substr(0, 9), std::string("\xAC\xED\x00\x05\x7A\x00\x00\x04\x00", 9));
  EXPECT_EQ(body.substr(9, 13), utf("imageUpload"));
  size_t rest = 11 + 2 + 2 + 1 + 4 + 7 + 7 + 4 + 2000 - 1024;
  EXPECT_EQ(body.substr(9 + 1024, 5), "\x7A" + i32(static_cast<uint32_t>(rest)));
  EXPECT_EQ(body.size(), 4 + 5 + 1024 + 5 + rest);
}

TEST_F(OnlineCommunicationTest, UploadCountsEveryPieceAndAnswersUnchanged) {
  std::string big = dir_.write("big.jpg", std::string(25000, 'b'));
  dir_.write("v.swf", std::string(300, 's'));
  dir_.write("v.jpg", std::string(40, 'j'));
  Servlet servlet(answer(utf("error:quota full")));
  EXPECT_EQ(OnlineCommunication::uploadScaledImage(servlet.host(), big, "S", 1, 2, "-90.jpg"),
            "error:quota full");
  EXPECT_EQ(Server::transferStatusSent.load(), 25000);
  EXPECT_EQ(OnlineCommunication::uploadVideoAndImage(servlet.host(), dir_.file("v"), "S", 1, "1.jpg"),
            "error:quota full");
  EXPECT_EQ(Server::transferStatusSent.load(), 25340);
}

TEST_F(OnlineCommunicationTest, LocalFileFailuresSendNothing) {
  dir_.write("only.swf", "swf");
  std::string shrinking = dir_.write("gone.short", std::string(30000, 'g'));
  std::string huge = dir_.file("huge.jpg");
  ASSERT_EQ(truncate(dir_.write("huge.jpg", "").c_str(), int64_t{1} << 31), 0);
  Servlet servlet(answer(utf("1")));
  std::string host = servlet.host();
  EXPECT_THROW(OnlineCommunication::uploadVideoAndImage(host, dir_.file("only"), "S", 1, "1.jpg"),
               platform::FileNotFoundException);
  EXPECT_THROW(OnlineCommunication::uploadFirstImage(host, shrinking, "S", 1, "1.jpg"),
               platform::IOException);
  EXPECT_THROW(OnlineCommunication::uploadFirstImage(host, huge, "S", 1, "1.jpg"),
               platform::IOException);
  EXPECT_THROW(OnlineCommunication::log(host, "S", "t", std::string(65536, 'x')),
               platform::UTFDataFormatException);
  EXPECT_TRUE(servlet.requests().empty());
}

TEST_F(OnlineCommunicationTest, LargeBodyIsSpooledWithTheSameBytes) {
  std::string content(OnlineCommunication::kSpoolThreshold + 4096, '\0');
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 31 + i / 977);
  std::string file = dir_.write("large.mp3", content);
  Servlet servlet(answer(utf("5")));
  EXPECT_EQ(OnlineCommunication::uploadSound(servlet.host(), file, "S", 3, "1.mp3", "Standard"), "5");
  EXPECT_EQ(joined(servlet.requests()[0].body),
            utf("soundUpload") + utf("S") + i32(3) + utf("1.mp3") + utf("Standard") +
                i32(static_cast<uint32_t>(content.size())) + content);
}

TEST_F(OnlineCommunicationTest, ReplyShapes) {
  std::string okAcrossRecords = std::string("\xAC\xED\x00\x05\x77\x01\x00\x79\x77\x02\x02o\x77\x01k", 15);
  struct Case {
    const char* name;
    int status;
    std::string body;
    const char* answer;  // nullptr: the call fails
    std::optional<std::string> raw = std::nullopt;
  };
  const Case cases[] = {
      {"text split over records with a reset mark", 200, okAcrossRecords, "ok"},
      {"bytes after the field are ignored", 200, replyOf(utf("ok") + "junk"), "ok"},
      {"ends early", 200, replyOf(std::string("\x00\x05", 2) + "ab"), nullptr},
      {"empty body", 200, "", nullptr},
      {"wrong magic", 200, "\xAC\xED\x00\x06" + replyOf(utf("ok")).substr(4), nullptr},
      {"status 500", 500, replyOf(utf("ok")), nullptr},
      {"status 404", 404, replyOf(utf("ok")), nullptr},
      {"redirect not followed", 302, "", nullptr,
       "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n"},
      {"closed without reply", 200, "", nullptr, std::string()},
  };
  for (const Case& c : cases) {
    Servlet servlet([&](const OnlineService::HttpRequest&) {
      OnlineService::HttpReply reply;
      reply.status = c.status;
      reply.body = c.body;
      reply.raw = c.raw;
      return reply;
    });
    std::string file = dir_.write("p.jpg", "x");
    try {
      std::string got = OnlineCommunication::uploadScaledImage(servlet.host(), file, "S", 1, 2, "v.jpg");
      EXPECT_EQ(c.answer, got) << c.name;
    } catch (const platform::IOException& e) {
      EXPECT_EQ(c.answer, nullptr) << c.name << ": " << e.what();
    }
  }
}

TEST_F(OnlineCommunicationTest, DownloadVideoWritesReceivedNamesBelowTheFolder) {
  std::string folder = dir_.path() + "images/";
  ASSERT_EQ(platform::File(folder).mkdirs(), true);
  Servlet servlet(answer(i32(3) + utf(".swf") + i32(5) + "SWFok" + utf(".jpg") + i32(0) + utf("ok")));
  EXPECT_EQ(OnlineCommunication::downloadVideo(folder, servlet.host(), "S", "dir9", 7), 3);
  EXPECT_EQ(TempDir::read(folder + "7.swf"), "SWFok");
  EXPECT_EQ(TempDir::read(folder + "7.jpg"), "");
  EXPECT_EQ(Server::transferStatusSent.load(), 5);
  EXPECT_EQ(joined(servlet.requests()[0].body), utf("downloadVideo") + utf("S") + utf("dir9"));

  Servlet none(answer(i32(-4) + utf("ok")));
  EXPECT_EQ(OnlineCommunication::downloadVideo(folder, none.host(), "S", "d", 8), -4);

  // A reply that ends inside a file keeps what came.
  Servlet cut(answer(i32(1) + utf(".flv") + i32(10) + "abc"));
  EXPECT_THROW(OnlineCommunication::downloadVideo(folder, cut.host(), "S", "d", 9), platform::IOException);
  EXPECT_EQ(TempDir::read(folder + "9.flv"), "abc");
  // So does a connection that drops inside a file: the bytes are written as they arrive.
  const std::string partial = replyOf(i32(1) + utf(".flv") + i32(10) + "abcdef");
  Servlet dropped([partial](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(partial.size() + 4) + "\r\n\r\n" + partial;
    return reply;
  });
  EXPECT_THROW(OnlineCommunication::downloadVideo(folder, dropped.host(), "S", "d", 10), platform::IOException);
  EXPECT_EQ(TempDir::read(folder + "10.flv"), "abcdef");

  // "0.jpg" after number 1 would overwrite picture 10.
  dir_.write("images/10.jpg", "picture");
  for (std::string name : {std::string(""), std::string("/../x"), std::string("..swf"),
                           std::string("a\\b"), std::string("a\0b", 3), std::string("0.jpg")}) {
    Servlet evil(answer(i32(1) + utf(name) + i32(1) + "x" + utf("ok")));
    EXPECT_THROW(OnlineCommunication::downloadVideo(folder, evil.host(), "S", "d", 1),
                 platform::IOException);
  }
  EXPECT_FALSE(platform::File(folder + "1").exists());
  EXPECT_FALSE(platform::File(dir_.path() + "x").exists());
  EXPECT_EQ(TempDir::read(folder + "10.jpg"), "picture");
}

TEST_F(OnlineCommunicationTest, FileListQuery) {
  Servlet servlet(answer(utf("ok") + utf("filelist.txt") + i32(123) + i64(4294967295u)));
  auto entry = OnlineCommunication::getOfflineFilelistInfo("getOfflineFilelistInfo2", servlet.host(), "S");
  EXPECT_EQ(entry.name, "filelist.txt");
  EXPECT_EQ(entry.size, 123);
  EXPECT_EQ(entry.checksum, 4294967295LL);
  EXPECT_EQ(joined(servlet.requests()[0].body),
            utf("getOfflineFilelistInfo2WithDomain") + utf("auction_de") + utf("S"));
  for (std::string status : {"OK", "ok ", "error:no list"}) {
    Servlet refusing(answer(utf(status)));
    try {
      OnlineCommunication::getOfflineFilelistInfo("getOfflineFilelistInfo", refusing.host(), "S");
      ADD_FAILURE() << status;
    } catch (const platform::Exception& e) {
      EXPECT_EQ(e.message(), status);
    }
  }
}

TEST_F(OnlineCommunicationTest, FileListQueryWithoutDefaultDomainSendsNothing) {
  dir_.write("WEB-INF/global.properties", "other=1\n");
  GlobalConfig::load(dir_.path(), dir_.path());
  Servlet servlet(answer(utf("ok")));
  EXPECT_ANY_THROW(OnlineCommunication::getOfflineFilelistInfo("getOfflineFilelistInfo", servlet.host(), "S"));
  EXPECT_TRUE(servlet.requests().empty());
}

TEST_F(OnlineCommunicationTest, DownloadOfflineFilesInflatesTheReply) {
  std::string folder = dir_.path();
  platform::File(folder + "lib").mkdirs();  // the caller makes the folders
  Servlet servlet(answerBody(
      zlibOf(replyOf(utf("ok") + i32(4) + "list" + i32(0) + i32(3000) + std::string(3000, 'z')))));
  testsupport::CaptureOut out;
  OnlineCommunication::downloadOfflineFiles("downloadOfflineFiles", folder, servlet.host(), "S",
                                            {"filelist.txt", "empty.txt", "lib/a.bin"});
  EXPECT_EQ(out.text(),
            "downloadOfflineFiles start\ndownloadOfflineFiles: result: ok\ndownloadOfflineFiles end\n");
  EXPECT_EQ(TempDir::read(folder + "filelist.txt.update"), "list");
  EXPECT_EQ(TempDir::read(folder + "empty.txt.update"), "");
  EXPECT_EQ(TempDir::read(folder + "lib/a.bin.update"), std::string(3000, 'z'));
  EXPECT_EQ(Server::transferStatusSent.load(), 3004);
  EXPECT_EQ(joined(servlet.requests()[0].body),
            utf("downloadOfflineFilesWithDomain") + utf("auction_de") + utf("S") + i32(3) +
                utf("filelist.txt") + utf("empty.txt") + utf("lib/a.bin"));
}

TEST_F(OnlineCommunicationTest, DownloadOfflineFilesRefusedOrPlain) {
  struct Case {
    const char* name;
    std::string reply;
    const char* printed;
  };
  const Case cases[] = {
      {"refused", zlibOf(replyOf(utf("error:busy"))),
       "downloadOfflineFiles start\ndownloadOfflineFiles: result: error:busy\n"},
      {"not compressed", replyOf(utf("ok")), "downloadOfflineFiles start\n"},
  };
  for (const Case& c : cases) {
    Servlet servlet(answerBody(c.reply));
    testsupport::CaptureOut out;
    EXPECT_ANY_THROW(OnlineCommunication::downloadOfflineFiles("downloadOfflineFiles2", dir_.path(),
                                                               servlet.host(), "S", {"filelist.txt"}))
        << c.name;
    EXPECT_EQ(out.text(), c.printed) << c.name;
    EXPECT_FALSE(platform::File(dir_.file("filelist.txt.update")).exists()) << c.name;
  }
  Servlet empty(answerBody(zlibOf(replyOf(utf("ok")))));
  testsupport::CaptureOut out;
  OnlineCommunication::downloadOfflineFiles("downloadOfflineFiles", dir_.path(), empty.host(), "S", {});
  EXPECT_EQ(joined(empty.requests()[0].body),
            utf("downloadOfflineFilesWithDomain") + utf("auction_de") + utf("S") + i32(0));
}

}  // namespace

namespace {

TEST_F(OnlineCommunicationTest, SilentServletIsBoundedByTheReadTimeout) {
  using namespace std::chrono_literals;
  quorvelauction::offline::ServiceTimeouts::set(1000ms, 1000ms, 300ms);
  std::atomic<bool> released{false};
  {
    Servlet servlet([&](const OnlineService::HttpRequest&) {
      while (!released) std::this_thread::sleep_for(10ms);
      return OnlineService::HttpReply{};
    });
    EXPECT_THROW(OnlineCommunication::log(servlet.host(), "S", "t", "x"), platform::IOException);
    released = true;
  }
  quorvelauction::offline::ServiceTimeouts::reset();
}

}  // namespace

namespace {

TEST_F(OnlineCommunicationTest, CounterSeenFromAnotherThreadGrowsPerPiece) {
  std::string file = dir_.write("clip.slow", std::string(25000, 'c'));
  Servlet servlet(answer(utf("1")));
  std::atomic<bool> done{false};
  std::vector<int64_t> seen;
  std::thread poller([&] {
    while (!done) {
      int64_t now = Server::transferStatusSent.load();
      if (seen.empty() || seen.back() != now) seen.push_back(now);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  OnlineCommunication::uploadScaledImage(servlet.host(), file, "S", 1, 2, "v.jpg");
  done = true;
  poller.join();
  EXPECT_EQ(Server::transferStatusSent.load(), 25000);
  // Every value seen is a whole number of pieces of at most 10,240 bytes.
  for (int64_t value : seen) {
    EXPECT_TRUE(value == 0 || value == 10240 || value == 20480 || value == 25000) << value;
  }
  EXPECT_GE(seen.size(), 2u);
}

}  // namespace
