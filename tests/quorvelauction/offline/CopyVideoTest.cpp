#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ByteArrayOutputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "quorvelauction/offline/SessionFixture.h"
#include "quorvelauction/offline/TransferWatch.h"
#include "support/TempDir.h"

namespace quorvelauction::offline {
namespace {

using testsupport::OnlineService;
using testsupport::TempDir;

// A reply of the video download: the number, then name, length and bytes per file, "ok".
struct VideoReply {
  std::vector<std::pair<std::string, std::string>> files;
  bool finished = true;      // false: the stream ends inside the last file
};

std::string bodyOf(const VideoReply& reply) {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  out.writeInt(7);
  for (size_t i = 0; i < reply.files.size(); ++i) {
    const auto& [name, bytes] = reply.files[i];
    out.writeUTF(name);
    out.writeInt(static_cast<int32_t>(bytes.size()));
    const bool cut = !reply.finished && i + 1 == reply.files.size();
    out.write(cut ? bytes.substr(0, bytes.size() / 2) : bytes);
  }
  if (reply.finished) out.writeUTF("ok");
  out.flush();
  return sink.take();
}

class CopyVideoTest : public SessionFixture {
 protected:
  void serve(const VideoReply& reply) {
    std::string body = bodyOf(reply);
    service.setHttpHandler([body](const OnlineService::HttpRequest&) {
      OnlineService::HttpReply answer;
      answer.body = body;
      return answer;
    });
  }
  std::string copy() { return call("copyVideo", {{"directoryName", "dir7"}}); }
  std::vector<std::string> images() const {
    std::vector<std::string> names = platform::File(user.file("images")).list().value_or(std::vector<std::string>{});
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(CopyVideoTest, TwoFilesUnderTheNextNumber) {
  user.write("images/41.jpg", "old");
  serve({{{".flv", "FLVDATA"}, {".jpg", "JPG"}}});
  Server::transferStatusSent = 0;
  EXPECT_EQ(copy(), "42");
  EXPECT_EQ(TempDir::read(user.file("images/42.flv")), "FLVDATA");
  EXPECT_EQ(TempDir::read(user.file("images/42.jpg")), "JPG");
  EXPECT_EQ(Server::transferStatusSent.load(), 10);
  // The request names the session and the video's folder.
  platform::ByteArrayInputStream bytes(service.httpRequests().at(0).body);
  platform::ObjectInputStream in(bytes);
  EXPECT_EQ(in.readUTF(), "downloadVideo");
  EXPECT_EQ(in.readUTF(), "S1");
  EXPECT_EQ(in.readUTF(), "dir7");
}

TEST_F(CopyVideoTest, CounterMovesWhileTheVideoArrives) {
  const std::string video = incompressible(200000);
  const std::string body = bodyOf({{{".flv", video}}});
  user.write("images/41.jpg", "old");
  Server::transferStatusSent = 0;
  TransferWatch watch(server, 0, 200000);
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply answer;
    answer.body = body;
    answer.pieceBytes = body.size() / 20 + 1;
    answer.betweenPieces = watch.hold();
    return answer;
  });
  EXPECT_EQ(copy(), "42");
  EXPECT_TRUE(watch.sawPartOfTheTransfer());
  EXPECT_EQ(TempDir::read(user.file("images/42.flv")), video);
  EXPECT_EQ(Server::transferStatusSent.load(), 200000);
}

TEST_F(CopyVideoTest, FailureRemovesWhatThisCopyWrote) {
  struct Case {
    const char* name;
    VideoReply reply;
  };
  const Case cases[] = {
      {"refused name", {{{".flv", "FLVDATA"}, {"/../../evil", "x"}}}},
      {"backslash name", {{{".flv", "FLVDATA"}, {"\\x.jpg", "x"}}}},
      {"cut short", {{{".flv", "FLVDATA"}, {".jpg", "JPEGJPEG"}}, false}},
  };
  for (const Case& c : cases) {
    TempDir fresh;
    common::GlobalConfig::load(sessionApplication(), fresh.path());
    fresh.write("images/41.jpg", "old");
    fresh.write("images/4.jpg", "older");
    serve(c.reply);
    EXPECT_ANY_THROW(call("copyVideo", {{"directoryName", "dir7"}})) << c.name;
    std::vector<std::string> left = platform::File(fresh.file("images")).list().value_or(std::vector<std::string>{});
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"4.jpg", "41.jpg"})) << c.name;
    EXPECT_FALSE(platform::File(fresh.file("evil")).exists()) << c.name;
  }
}

TEST_F(CopyVideoTest, FailureLeavesPicturesWrittenMeanwhile) {
  // Copy 1 is under way while a selection writes pictures 10 to 13 with their variants.
  const std::vector<std::string> selected = {"10.jpg", "10.jpg.info", "10e.jpg", "10t.jpg", "10v.jpg",
                                             "11.jpg", "12.jpg",      "13.jpg",  "13v.jpg"};
  std::filesystem::create_directories(user.file("images"));
  std::string body = bodyOf({{{".flv", "FLVDATA"}, {".jpg", "JPEGJPEG"}}, false});
  service.setHttpHandler([&, body](const OnlineService::HttpRequest&) {
    for (const std::string& name : selected) user.write("images/" + name, "picture");
    OnlineService::HttpReply answer;
    answer.body = body;
    return answer;
  });
  EXPECT_ANY_THROW(copy());
  EXPECT_EQ(images(), selected);
}

TEST_F(CopyVideoTest, OfflineOrRefusedLoginMakesNoRequest) {
  service.answer("login", OnlineService::SoapAnswer::value("error:wrong password"));
  EXPECT_EQ(copy(), "error:wrong password");
  unreachable();
  EXPECT_EQ(copy(), "error:not_online");
  EXPECT_TRUE(service.httpRequests().empty());
  EXPECT_TRUE(images().empty());
}

}  // namespace
}  // namespace quorvelauction::offline
