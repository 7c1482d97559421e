// Many clients at once against one server. Server and clients run in one
// process, so the thread sanitizer sees both sides; that process is forked
// from the test so the server's threads never meet the other tests.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "quorvelauction/offline/Server.h"

namespace e2e {
namespace {

constexpr int kClients = 200;
constexpr int kRounds = 5;

// One client: rounds of four pipelined requests mixing calls and file GETs;
// the replies must come back whole and in the order asked.
bool client(int port, int id, const std::string& big) {
  try {
    Connection c(port);
    for (int round = 0; round < kRounds; ++round) {
      const std::string tag = std::to_string(id) + "x" + std::to_string(round);
      c.send("GET /app/call?func=echo&a0=" + tag + " HTTP/1.1\r\n\r\n"
             "GET /big.txt HTTP/1.1\r\n\r\n"
             "POST /app/call HTTP/1.1\r\nContent-Length: 34\r\n\r\n"
             "func=offlineGetTransferStatus&a0=s"
             "GET /app/call?func=userImages&a0=s HTTP/1.1\r\n\r\n");
      Reply echo = c.readReply();
      Reply file = c.readReply();
      Reply status = c.readReply();
      Reply images = c.readReply();
      if (echo.body != "result=passed+parameters%3A+func%3Decho+a0%3D" + tag + "+test%3D" + tag ||
          file.body != big || status.body != "result=0%3A0" ||
          images.body.rfind("result=%3Cimages%3E", 0) != 0) {
        std::fprintf(stderr, "client %d round %d: wrong reply\n", id, round);
        return false;
      }
    }
    return true;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "client %d: %s\n", id, e.what());
    return false;
  }
}

// The forked process: starts the server on a thread, runs every client at
// once, and exits 0 when every reply was right.
[[noreturn]] void runAll(const Installation& inst, const std::string& big) {
  if (::chdir(inst.folder().c_str()) != 0) std::_Exit(3);
  // The server's diagnostics are of no interest here; failures go to stderr.
  ::dup2(::open("/dev/null", O_WRONLY), STDOUT_FILENO);
  const int port = freePort();
  std::thread([port] { quorvelauction::offline::Server server(port, std::nullopt); }).detach();
  for (int attempt = 0;; ++attempt) {
    try {
      Connection probe(port);
      break;
    } catch (const std::exception&) {
      if (attempt == 1000) std::_Exit(4);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int id = 0; id < kClients; ++id) {
    clients.emplace_back([&, id] {
      if (!client(port, id, big)) ++failures;
    });
  }
  for (auto& t : clients) t.join();
  std::fflush(stderr);
  std::_Exit(failures.load() == 0 ? 0 : 1);
}

TEST(ServerConcurrencyTest, EveryReplyIsCompleteAndInOrder) {
  Installation inst;
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
  inst.store("htdocs/big.txt", big);
  inst.plain("htdocs/app/images/3.jpg", "three");
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) runAll(inst, big);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace e2e
