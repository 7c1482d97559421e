#include "e2e/Loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/TempDir.h"

namespace e2e {

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int connectTo(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address = loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int freePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = loopback(0);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("bind failed");
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::optional<std::string> Reply::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return value;
  }
  return std::nullopt;
}

Connection::Connection(int port) : fd_(connectTo(port)) {
  if (fd_ < 0) throw std::runtime_error("cannot connect to port " + std::to_string(port));
  timeval timeout{30, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

Connection::~Connection() { ::close(fd_); }

void Connection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("send failed");
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void Connection::shutdownWrite() { ::shutdown(fd_, SHUT_WR); }

std::string Connection::readExactly(size_t count) {
  while (pending_.size() < count) {
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) throw std::runtime_error("connection ended after " + std::to_string(pending_.size()) +
                                         " of " + std::to_string(count) + " bytes");
    pending_.append(buffer, static_cast<size_t>(n));
  }
  std::string out = pending_.substr(0, count);
  pending_.erase(0, count);
  return out;
}

std::string Connection::readLine() {
  for (;;) {
    size_t end = pending_.find("\r\n");
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end + 2);
      pending_.erase(0, end + 2);
      return line;
    }
    char buffer[65536];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) throw std::runtime_error("connection ended inside a reply head: " + pending_);
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

Reply Connection::readReply() {
  Reply reply = readHead();
  if (auto length = reply.header("Content-Length")) reply.body = readExactly(std::stoul(*length));
  return reply;
}

Reply Connection::readHead() {
  Reply reply;
  std::string line = readLine();
  reply.head = line;
  if (line.rfind("HTTP/1.1 ", 0) != 0) throw std::runtime_error("not a status line: " + line);
  reply.status = line.substr(9, line.size() - 11);
  for (;;) {
    line = readLine();
    reply.head += line;
    if (line == "\r\n") break;
    size_t colon = line.find(": ");
    reply.headers.emplace_back(line.substr(0, colon), line.substr(colon + 2, line.size() - colon - 4));
  }
  return reply;
}

std::string Connection::readToEnd() { return receiveRest(false); }

std::string Connection::readUntilClosed() { return receiveRest(true); }

std::string Connection::receiveRest(bool silenceFails) {
  std::string out = std::move(pending_);
  pending_.clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0) return out;
    if (n < 0) {
      if (!silenceFails) return out;
      throw std::runtime_error("the server kept the connection open after " + std::to_string(out.size()) +
                               " bytes");
    }
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool Connection::closedByPeer() { return pending_.empty() && readToEnd().empty(); }

Reply get(int port, const std::string& target) {
  Connection connection(port);
  connection.send("GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
  return connection.readReply();
}

namespace {

// The environment of the server process: ours, with the server state a test
// set in this process handed over (see tests/fakes/local_server.cpp).
std::vector<std::string> serverEnvironment() {
  using quorvelauction::offline::ServiceTimeouts;
  std::vector<std::string> out;
  for (char** entry = environ; *entry; ++entry) {
    std::string_view text(*entry);
    if (text.rfind("QA_SERVER_SESSION_ID=", 0) == 0 || text.rfind("QA_SERVICE_TIMEOUTS=", 0) == 0 ||
        text.rfind("QA_BODY_BUDGET=", 0) == 0)
      continue;
    out.emplace_back(text);
  }
  out.push_back("QA_SERVER_SESSION_ID=" + quorvelauction::offline::Server::serverSessionId.get());
  out.push_back("QA_SERVICE_TIMEOUTS=" + std::to_string(ServiceTimeouts::probe().count()) + "," +
                std::to_string(ServiceTimeouts::connect().count()) + "," +
                std::to_string(ServiceTimeouts::read().count()));
  out.push_back("QA_BODY_BUDGET=" +
                std::to_string(quorvelauction::offline::Server::Handler::bodyBudget().total()));
  return out;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

}  // namespace

ServerProcess::ServerProcess(const std::string& folder, const std::optional<std::string>& argument,
                             int port)
    : folder_(folder), port_(port ? port : freePort()) {
  // Started afresh rather than forked: a fork of this threaded process could
  // inherit a lock some other thread held at that moment, and hang.
  std::vector<std::string> args{QA_BINARY_DIR "/fake_local_server", std::to_string(port_)};
  if (argument) args.push_back(*argument);
  std::vector<std::string> environment = serverEnvironment();
  std::vector<char*> argv = pointers(args), envp = pointers(environment);
  const std::string output = folder + "output.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // The server meets a vanished peer as a user's machine does, not with the
  // SIGPIPE this test process may ignore.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  const int failed = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed) throw std::runtime_error(std::string("cannot start the server: ") + std::strerror(failed));
  // Ready once it has built everything (its start-up prints "server: "
  // before the accept loop, into "log.txt" with "debug.txt") and accepts;
  // a process that ended early has failed to start.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string printed;
    for (const char* name : {"output.txt", "log.txt"}) {
      try {
        printed += testsupport::TempDir::read(folder_ + name);
      } catch (const std::exception&) {
      }
    }
    int fd = printed.find("server: ") != std::string::npos ? connectTo(port_) : -1;
    if (fd >= 0) {
      ::close(fd);
      return;
    }
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) {
      ended_ = true;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

ServerProcess::~ServerProcess() {
  if (ended_) return;
  ::kill(pid_, SIGKILL);
  int status;
  ::waitpid(pid_, &status, 0);
}

int ServerProcess::waitForExit() {
  if (!ended_) {
    ::waitpid(pid_, &status_, 0);
    ended_ = true;
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

std::string ServerProcess::output() const { return testsupport::TempDir::read(folder_ + "output.txt"); }

std::string formEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c) || c == '.' || c == '-' || c == '*' || c == '_')
      out += static_cast<char>(c);
    else if (c == ' ')
      out += '+';
    else
      out += std::string("%") + hex[c >> 4] + hex[c & 15];
  }
  return out;
}

std::string formDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+')
      out += ' ';
    else if (text[i] == '%' && i + 2 < text.size())
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)), i += 2;
    else
      out += text[i];
  }
  return out;
}

}  // namespace e2e
