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
  std::atomic<bool> released{false};
  OnlineService service;
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return answerOk();
  });
  Server::LogSender& sender = Server::LogSender::instance();
  std::vector<std::pair<std::string, std::string>> accepted;
  bool dropped = false;
  // One record in flight and a full queue: the rest is dropped, not waited for.
  for (size_t i = 0; i < Server::LogSender::kCapacity + 2; ++i) {
    if (sender.post({service.host(), "S", "t", std::to_string(i)})) {
      accepted.emplace_back("t", std::to_string(i));
    } else {
      dropped = true;
    }
  }
  EXPECT_TRUE(dropped);
  released = true;
  sender.drain();
  EXPECT_EQ(received(service), accepted);
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
  EXPECT_EQ(received(service), expected);
}

TEST(LogSender, QueueIsBoundedByBytes) {
  std::atomic<bool> released{false};
  OnlineService service;
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return answerOk();
  });
  Server::LogSender& sender = Server::LogSender::instance();
  const std::string text(60000, 'x');
  std::vector<std::pair<std::string, std::string>> accepted;
  for (int i = 0; i < 40; ++i) {
    if (sender.post({service.host(), "S", std::to_string(i), text})) accepted.emplace_back(std::to_string(i), text);
  }
  // One record may be in flight, outside the queue.
  EXPECT_LE(accepted.size() * text.size(), Server::LogSender::kCapacityBytes + text.size());
  EXPECT_LT(accepted.size(), 40u);
  released = true;
  sender.drain();
  EXPECT_EQ(received(service), accepted);
}
