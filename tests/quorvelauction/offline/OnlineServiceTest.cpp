#include "support/OnlineService.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Socket.h"

namespace {

using testsupport::OnlineService;

// Sends bytes to port 80 of the service and reads the reply to its end.
std::string exchange(const OnlineService& service, const std::string& bytes) {
  platform::Socket socket(service.host(), 80);
  socket.getOutputStream().write(bytes.data(), 0, static_cast<int>(bytes.size()));
  std::string reply;
  char buffer[4096];
  for (int n; (n = socket.getInputStream().read(buffer, 0, sizeof buffer)) > 0;) reply.append(buffer, n);
  return reply;
}

TEST(OnlineServiceTest, PlainPortAnswersProbeAndHandsOtherRequestsOn) {
  OnlineService service;
  EXPECT_FALSE(exchange(service, "GET /\r\n\r\n").empty());
  EXPECT_EQ(exchange(service, "GET /x HTTP/1.0\r\n\r\n").substr(0, 12), "HTTP/1.1 404");
  service.setHttpHandler([](const OnlineService::HttpRequest& request) {
    OnlineService::HttpReply reply;
    reply.body = "got " + request.body;
    return reply;
  });
  EXPECT_EQ(exchange(service, "POST /app/communication HTTP/1.0\r\nContent-Type: a/b\r\n"
                              "Content-Length: 3\r\n\r\nabc"),
            "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 7\r\n"
            "Connection: close\r\n\r\ngot abc");
  EXPECT_EQ(service.probes(), 1);
  auto requests = service.httpRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].target, "/app/communication");
  using Headers = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(requests[1].headers, (Headers{{"Content-Type", "a/b"}, {"Content-Length", "3"}}));
  EXPECT_EQ(requests[1].body, "abc");
  EXPECT_EQ(service.events(),
            (std::vector<std::string>{"probe", "http:GET /x", "http:POST /app/communication"}));
}

TEST(OnlineServiceTest, TwoServicesTakeTwoAddresses) {
  OnlineService first;
  OnlineService second;
  EXPECT_NE(first.host(), second.host());
}

}  // namespace
