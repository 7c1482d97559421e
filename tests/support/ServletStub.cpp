#include "support/ServletStub.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <strings.h>

namespace testsupport {

namespace {

// Reads until the peer stops sending or stopping is set; false on either.
bool readSome(int fd, std::string& into, const std::atomic<bool>& stopping) {
  while (!stopping) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buffer[65536];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    into.append(buffer, static_cast<size_t>(n));
    return true;
  }
  return false;
}

void sendAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::optional<std::string> ServletStub::Request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return std::nullopt;
}

ServletStub::ServletStub(Handler handler) : handler_(std::move(handler)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 16) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("servlet stub cannot listen");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

ServletStub::~ServletStub() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& worker : workers_) worker.join();
  ::close(listener_);
}

std::vector<ServletStub::Request> ServletStub::requests() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return requests_;
}

void ServletStub::acceptLoop() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int fd = ::accept(listener_, nullptr, nullptr);
    if (fd < 0) continue;
    std::lock_guard<std::mutex> guard(mutex_);
    workers_.emplace_back([this, fd] {
      serve(fd);
      ::close(fd);
    });
  }
}

void ServletStub::serve(int fd) {
  std::string data;
  size_t end;
  while ((end = data.find("\r\n\r\n")) == std::string::npos) {
    if (!readSome(fd, data, stopping_)) return;
  }
  Request request;
  size_t lineEnd = data.find("\r\n");
  std::string line = data.substr(0, lineEnd);
  request.method = line.substr(0, line.find(' '));
  request.target = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
  size_t length = 0;
  for (size_t at = lineEnd + 2; at < end;) {
    size_t next = data.find("\r\n", at);
    std::string header = data.substr(at, next - at);
    size_t colon = header.find(':');
    std::string name = header.substr(0, colon);
    std::string value = header.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    if (strcasecmp(name.c_str(), "Content-Length") == 0) length = std::stoul(value);
    request.headers.emplace_back(name, value);
    at = next + 2;
  }
  data.erase(0, end + 4);
  while (data.size() < length) {
    if (!readSome(fd, data, stopping_)) return;
  }
  request.body = data.substr(0, length);
  {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.push_back(request);
  }
  Reply reply = handler_(request);
  if (reply.silent) {
    std::string ignored;
    while (readSome(fd, ignored, stopping_)) {
    }
    return;
  }
  if (reply.raw) {
    sendAll(fd, *reply.raw);
    return;
  }
  sendAll(fd, "HTTP/1.1 " + std::to_string(reply.status) + " Status\r\nContent-Type: " +
                  "application/octet-stream\r\nContent-Length: " +
                  std::to_string(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                  reply.body);
}

}  // namespace testsupport
