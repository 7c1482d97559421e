#include "quorvelauction/offline/ServerLogSender.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "support/OnlineService.h"

using quorvelauction::offline::Server;
using testsupport::OnlineService;

TEST(LogSender, BoundedQueueDropsWhenFullAndKeepsOrder) {
  std::atomic<bool> released{false};
  OnlineService service;
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    while (!released) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    platform::ByteArrayOutputStream sink;
    platform::ObjectOutputStream out(sink);
    out.writeUTF("ok");
    out.flush();
    OnlineService::HttpReply reply;
    reply.body = sink.take();
    return reply;
  });
  Server::LogSender& sender = Server::LogSender::instance();
  int accepted = 0;
  bool dropped = false;
  // One record in flight and a full queue: the rest is dropped, not waited for.
  for (size_t i = 0; i < Server::LogSender::kCapacity + 2; ++i) {
    if (sender.post({service.host(), "S", "t", std::to_string(i)})) {
      ++accepted;
    } else {
      dropped = true;
    }
  }
  EXPECT_TRUE(dropped);
  released = true;
  sender.drain();
  auto requests = service.httpRequests();
  ASSERT_EQ(requests.size(), static_cast<size_t>(accepted));
  for (int i = 0; i < accepted; ++i) {
    platform::ByteArrayInputStream source(requests[i].body);
    platform::ObjectInputStream in(source);
    for (int field = 0; field < 3; ++field) in.readUTF();
    EXPECT_EQ(in.readUTF(), std::to_string(i));
  }
}
