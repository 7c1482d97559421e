// Echo calls per second over one and over 16 keep-alive connections, and
// the throughput of a 10 MiB file GET, stored scrambled and stored plain,
// against a server running in this process on a free port.

#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"
#include "support/LoopbackSockets.h"
#include "support/TempDir.h"

namespace {

class Discard : public platform::OutputStream {
 public:
  using platform::OutputStream::write;
  void write(const char*, int, int) override {}
};

constexpr size_t kFileSize = 10 << 20;

int connectTo(int port) {
  int fd = testsupport::connectLoopback(port);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

testsupport::TempDir* installation = nullptr;

// Removes the installation and ends the process at once, without running
// static destructors under the detached server thread.
[[noreturn]] void finish(int status) {
  std::fflush(stdout);
  if (installation) std::filesystem::remove_all(installation->path());
  std::_Exit(status);
}

// The installation and the server, made once for the whole run.
int serverPort() {
  static int port = [] {
    // Kept past the end of main: the server thread runs until the process
    // ends. main removes the folder itself.
    testsupport::TempDir* dir = installation = new testsupport::TempDir();
    dir->write("messages.properties", "programName=companion\n");
    dir->write("htdocs/app/WEB-INF/global.properties", "");
    dir->write("htdocs/index.html", "");
    quorvelauction::offline::Server::programPath = dir->path();
    {
      quorvelauction::offline::CryptedFileOutputStream out(dir->path() + "htdocs/big.bin");
      std::string block(1 << 20, 'x');
      for (size_t done = 0; done < kFileSize; done += block.size()) out.write(block);
      out.close();
    }
    // Files of the front end's image folder are stored plain.
    dir->write("htdocs/app/images/big.jpg", std::string(kFileSize, 'y'));
    if (::chdir(dir->path().c_str()) != 0) std::abort();
    // The server's diagnostics would drown the figures.
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<Discard>(), false));
    const int p = testsupport::freeLoopbackPort();
    std::thread([p] { quorvelauction::offline::Server server(p, std::nullopt); }).detach();
    testsupport::waitForLoopback(p);
    return p;
  }();
  return port;
}

// Reads one reply with a Content-Length body; returns the body size.
size_t readReply(int fd, std::string& buffer) {
  buffer.clear();
  char chunk[1 << 16];
  size_t headEnd;
  for (;;) {
    headEnd = buffer.find("\r\n\r\n");
    if (headEnd != std::string::npos) break;
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) throw std::runtime_error("connection ended");
    buffer.append(chunk, static_cast<size_t>(n));
  }
  size_t at = buffer.find("Content-Length: ");
  size_t length = std::stoul(buffer.substr(at + 16));
  size_t have = buffer.size() - headEnd - 4;
  while (have < length) {
    ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) throw std::runtime_error("connection ended");
    have += static_cast<size_t>(n);
  }
  return length;
}

void sendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("send failed");
    done += static_cast<size_t>(n);
  }
}

void BM_EchoCall(benchmark::State& state) {
  int fd = connectTo(serverPort());
  const std::string request = "GET /app/call?func=echo&a0=hello HTTP/1.1\r\nHost: localhost\r\n\r\n";
  std::string buffer;
  for (auto _ : state) {
    sendAll(fd, request);
    readReply(fd, buffer);
  }
  state.counters["calls/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  ::close(fd);
}
BENCHMARK(BM_EchoCall)->UseRealTime();
BENCHMARK(BM_EchoCall)->Threads(16)->UseRealTime();

// GETs of the target over one keep-alive connection; each reply must carry
// the whole file.
void getFileRepeatedly(benchmark::State& state, const std::string& target) {
  int fd = connectTo(serverPort());
  const std::string request = "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
  std::string buffer;
  for (auto _ : state) {
    sendAll(fd, request);
    if (readReply(fd, buffer) != kFileSize) state.SkipWithError("short file");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  ::close(fd);
}

void BM_FileGet10MiB(benchmark::State& state) { getFileRepeatedly(state, "/big.bin"); }
BENCHMARK(BM_FileGet10MiB)->UseRealTime();

void BM_PlainFileGet10MiB(benchmark::State& state) { getFileRepeatedly(state, "/app/images/big.jpg"); }
BENCHMARK(BM_PlainFileGet10MiB)->UseRealTime();

// With QA_SERVE set, only serves until SIGTERM or SIGINT and prints the
// port, so that an outside load generator can drive the same server.
[[noreturn]] void serveUntilSignalled() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  // Blocked before the server's threads start, so that they inherit it.
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  std::printf("port %d\n", serverPort());
  std::fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  finish(0);
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QA_SERVE")) serveUntilSignalled();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  finish(0);
}
