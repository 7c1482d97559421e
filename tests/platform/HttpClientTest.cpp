#include "platform/HttpClient.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

#include "platform/Exceptions.h"
#include "platform/SpoolBuffer.h"
#include "support/OnlineService.h"

namespace {

using platform::HttpClient;
using testsupport::OnlineService;

std::string bytesOf(size_t count) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 7 + i / 4093);
  return bytes;
}

void serve(OnlineService& service, const std::string& body, size_t pieceBytes = 0) {
  service.setHttpHandler([body, pieceBytes](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = body;
    reply.pieceBytes = pieceBytes;
    return reply;
  });
}

std::string url(const OnlineService& service) { return "http://" + service.host() + "/app/communication"; }

// Reads in small steps, so that libcurl has to hold back what the reader has not taken.
std::string readSlowly(platform::InputStream& in) {
  std::string all;
  char buffer[1000];
  for (int got; (got = in.read(buffer, 0, sizeof buffer)) > 0;) all.append(buffer, static_cast<size_t>(got));
  return all;
}

TEST(HttpClient, ReplyArrivesWholeAndInOrder) {
  const struct {
    size_t size;
    size_t pieceBytes;
  } cases[] = {{0, 0}, {1, 0}, {65535, 0}, {65537, 0}, {3 << 20, 0}, {200000, 10000}};
  OnlineService service;
  platform::SpoolBuffer body;
  body.write(std::string("request"));
  for (const auto& c : cases) {
    const std::string expected = bytesOf(c.size);
    serve(service, expected, c.pieceBytes);
    platform::InputStreamPtr reply = HttpClient::post(url(service), "application/x-test", body, {});
    EXPECT_EQ(readSlowly(*reply), expected) << c.size;
    EXPECT_EQ(reply->read(), -1) << c.size;
  }
  for (const auto& request : service.httpRequests()) EXPECT_EQ(request.body, "request");
}

TEST(HttpClient, ReplyBeyondTheBoundFails) {
  OnlineService service;
  platform::SpoolBuffer body;
  HttpClient::Limits limits;
  limits.maxReplyBytes = 100000;
  for (size_t size : {size_t{100000}, size_t{100001}}) {
    serve(service, bytesOf(size), 30000);
    try {
      platform::InputStreamPtr reply = HttpClient::post(url(service), "application/x-test", body, limits);
      EXPECT_EQ(readSlowly(*reply).size(), size) << size;
      EXPECT_EQ(size, 100000u);
    } catch (const platform::IOException& e) {
      EXPECT_EQ(size, 100001u) << e.what();
      EXPECT_NE(std::string(e.what()).find("reply larger than 100000 bytes"), std::string::npos) << e.what();
    }
  }
}

// The descriptors of files that are open but no longer have a name.
std::set<int> unlinkedFiles() {
  std::set<int> fds;
  DIR* dir = ::opendir("/proc/self/fd");
  while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
    char target[512];
    ssize_t n = ::readlink(("/proc/self/fd/" + std::string(entry->d_name)).c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)).find("(deleted)") != std::string::npos) {
      fds.insert(std::atoi(entry->d_name));
    }
  }
  if (dir) ::closedir(dir);
  return fds;
}

TEST(HttpClient, BodyThatCannotBeReadEndsTheExchange) {
  OnlineService service;
  serve(service, "never asked for");
  // A spooled body whose temporary file loses its bytes, as on a failing disk.
  const std::set<int> before = unlinkedFiles();
  platform::SpoolBuffer body(10);
  body.write(bytesOf(5000));
  int spool = -1;
  for (int fd : unlinkedFiles()) {
    if (before.count(fd) == 0) spool = fd;
  }
  ASSERT_GE(spool, 0);
  char first;
  body.readAt(0, &first, 1);  // the written bytes reach the file before it is cut
  ASSERT_EQ(::ftruncate(spool, 0), 0);
  EXPECT_THROW(HttpClient::post(url(service), "application/x-test", body, {}), platform::IOException);
  EXPECT_TRUE(service.httpRequests().empty());
}

}  // namespace
