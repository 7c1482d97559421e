// The server's peak resident memory (VmHWM) while eight connections at once
// each send a 64 MiB body: to the command route, to the SOAP endpoint and to
// a plain POST route, each against a server process of its own, beside the
// size of that process when idle. Prints one line per route.

#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/offline/Server.h"
#include "support/LoopbackSockets.h"
#include "support/TempDir.h"

namespace {

constexpr size_t kBody = 64 << 20;
constexpr int kConnections = 8;

class Discard : public platform::OutputStream {
 public:
  using platform::OutputStream::write;
  void write(const char*, int, int) override {}
};

// The peak resident size of a process, in KiB.
long peakKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Starts a server on port in a child process serving the installation.
pid_t startServer(const testsupport::TempDir& installation, int port) {
  pid_t pid = ::fork();
  if (pid != 0) return pid;
  quorvelauction::offline::Server::programPath = installation.path();
  if (::chdir(installation.path().c_str()) != 0) std::_Exit(1);
  // The refusals' traces would drown the figures.
  if (!std::freopen("/dev/null", "w", stderr)) std::_Exit(1);
  platform::System::setOut(std::make_shared<platform::PrintStream>(std::make_unique<Discard>(), false));
  quorvelauction::offline::Server server(port, std::nullopt);
  std::_Exit(0);
}

// Sends one request; true when it is answered 200.
bool served(int port, const std::string& request) {
  int fd = testsupport::connectLoopback(port);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < request.size()) {
    ssize_t n = ::send(fd, request.data() + done, request.size() - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  char head[64] = {};
  ssize_t n = ::recv(fd, head, sizeof head - 1, 0);
  ::close(fd);
  return n > 12 && std::string(head, static_cast<size_t>(n)).find(" 200 ") != std::string::npos;
}

struct Route {
  const char* name;
  std::string (*request)(int connection);
};

std::string post(const std::string& target, const std::string& body) {
  return "POST " + target + " HTTP/1.1\r\nHost: localhost\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\n\r\n" + body;
}

// A body of exactly kBody bytes: the text around a filler.
std::string filled(const std::string& before, const std::string& after) {
  return before + std::string(kBody - before.size() - after.size(), 'x') + after;
}

std::string callRequest(int connection) {
  return post("/app/call",
              filled("func=saveUserFile&a0=s&a1=call" + std::to_string(connection) + ".txt&a2=", ""));
}

std::string soapRequest(int connection) {
  const std::string before =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
      "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Body><saveUserFile>"
      "<sessionId>s</sessionId><name>soap" +
      std::to_string(connection) + ".txt</name><content>";
  return post("/services/QuorvelAuctionPort",
              filled(before, "</content></saveUserFile></soapenv:Body></soapenv:Envelope>"));
}

std::string plainRequest(int) { return post("/other", std::string(kBody, 'x')); }

void measure(const Route& route) {
  testsupport::TempDir installation;
  installation.write("messages.properties", "programName=companion\n");
  installation.write("htdocs/app/WEB-INF/global.properties", "");
  installation.write("htdocs/app/WEB-INF/user/.keep", "");
  installation.write("htdocs/index.html", "");
  const int port = testsupport::freeLoopbackPort();
  const pid_t pid = startServer(installation, port);
  // Made once the server runs, so that its process does not hold them too.
  std::vector<std::string> requests;
  for (int i = 0; i < kConnections; ++i) requests.push_back(route.request(i));
  testsupport::waitForLoopback(port);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const long idle = peakKiB(pid);
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < kConnections; ++i) {
    clients.emplace_back([&, i] {
      if (served(port, requests[i])) ++answered;
    });
  }
  for (std::thread& client : clients) client.join();
  const long peak = peakKiB(pid);
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  std::printf("%-10s idle %7.1f MiB  peak %7.1f MiB  above idle %7.1f MiB  served %d of %d\n", route.name,
              idle / 1024.0, peak / 1024.0, (peak - idle) / 1024.0, answered.load(), kConnections);
  std::fflush(stdout);
}

}  // namespace

int main() {
  const Route routes[] = {
      {"/app/call", callRequest},
      {"SOAP", soapRequest},
      {"plain POST", plainRequest},
  };
  for (const Route& route : routes) measure(route);
  return 0;
}
