#include "quorvelauction/offline/ServerLogSender.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "support/OnlineService.h"

using quorvelauction::offline::Server;
using testsupport::OnlineService;

namespace {

OnlineService::HttpReply answerOk() {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  out.writeUTF("ok");
  out.flush();
  OnlineService::HttpReply reply;
  reply.body = sink.take();
  return reply;
}

// The type and text of each record the servlet received.
std::vector<std::pair<std::string, std::string>> received(const OnlineService& service) {
  std::vector<std::pair<std::string, std::string>> records;
  for (const auto& request : service.httpRequests()) {
    platform::ByteArrayInputStream source(request.body);
    platform::ObjectInputStream in(source);
    in.readUTF();
    in.readUTF();
    std::string type = in.readUTF();
    records.emplace_back(type, in.readUTF());
  }
  return records;
}

std::string times(size_t count, const std::string& piece) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}

}  // namespace

TEST(LogSender, BoundedQueueDropsWhenFullAndKeepsOrder) {
  const struct {
    const char* bound;
    size_t records, textBytes;
  } cases[] = {
      {"records", Server::LogSender::kCapacity + 2, 1},
      {"bytes", 40, 60000},
  };
  for (const auto& c : cases) {
    std::atomic<bool> released{false};
    OnlineService service;
    service.setHttpHandler([&](const OnlineService::HttpRequest&) {
      while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return answerOk();
    });
    Server::LogSender& sender = Server::LogSender::instance();
    const std::string text(c.textBytes, 'x');
    std::vector<std::pair<std::string, std::string>> accepted;
    // One record in flight and a full queue: the rest is dropped, not waited for.
    for (size_t i = 0; i < c.records; ++i) {
      if (sender.post({service.host(), "S", std::to_string(i), text})) accepted.emplace_back(std::to_string(i), text);
    }
    EXPECT_LT(accepted.size(), c.records) << c.bound;
    EXPECT_LE(accepted.size() * text.size(), Server::LogSender::kCapacityBytes + text.size()) << c.bound;
    released = true;
    sender.drain();
    EXPECT_EQ(received(service), accepted) << c.bound;
  }
}

TEST(LogSender, TextTooLongForItsFieldIsCutToFit) {
  const std::string smile = "\xF0\x9F\x98\x80";  // two code units, three bytes each
  const struct {
    std::string type, text;
    std::optional<std::string> sent;  // absent: the record is dropped
  } cases[] = {
      {"t", std::string(65535, 'a'), std::string(65535, 'a')},
      {"t", std::string(70000, 'a'), std::string(65535, 'a')},
      {"t", times(40000, "\xC3\xA9"), times(32767, "\xC3\xA9")},
      {"t", "a" + times(11000, smile), "a" + times(10922, smile)},
      {"t", "ab" + times(11000, smile), "ab" + times(10922, smile)},  // the pair is not split
      {"t", times(40000, std::string(1, '\0')), times(32767, std::string(1, '\0'))},
      {std::string(65536, 't'), "x", std::nullopt},
  };
  OnlineService service;
  service.setHttpHandler([](const OnlineService::HttpRequest&) { return answerOk(); });
  Server::LogSender& sender = Server::LogSender::instance();
  std::vector<std::pair<std::string, std::string>> expected;
  for (const auto& c : cases) {
    EXPECT_EQ(sender.post({service.host(), "S", c.type, c.text}), c.sent.has_value()) << c.text.size();
    if (c.sent) expected.emplace_back(c.type, *c.sent);
  }
  sender.drain();
  const auto sent = received(service);
  ASSERT_EQ(sent.size(), expected.size());
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_TRUE(sent[i] == expected[i]) << "record " << i << ": " << sent[i].second.size() << " bytes";
  }
}
