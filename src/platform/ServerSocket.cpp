#include "platform/ServerSocket.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/HostResolver.h"
#include "platform/NetExceptions.h"

namespace platform {

namespace {

int listenOn(int port, int backlog, const std::optional<std::string>& bindHost) {
  HostResolver::checkPort(port);
  HostResolver::Address address{};
  if (bindHost) {
    address = HostResolver::resolve(bindHost, port).front();
  } else {
    auto& any = reinterpret_cast<sockaddr_in&>(address.storage);
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(static_cast<uint16_t>(port));
    address.length = sizeof any;
    address.family = AF_INET;
  }
  int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw SocketException(std::strerror(errno));
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0 ||
      ::listen(fd, backlog > 0 ? backlog : 50) != 0) {
    int error = errno;
    ::close(fd);
    throw SocketException(std::strerror(error));
  }
  return fd;
}

}  // namespace

ServerSocket::ServerSocket(int port, int backlog, const std::optional<std::string>& bindHost)
    : fd_(listenOn(port, backlog, bindHost)) {}

ServerSocket::~ServerSocket() {
  close();
  ::close(fd_);
}

std::unique_ptr<Socket> ServerSocket::accept() {
  for (;;) {
    if (isClosed()) throw SocketException("Socket is closed");
    int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client >= 0) return std::make_unique<Socket>(client);
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (isClosed()) throw SocketException("Socket is closed");
    throw SocketException(std::strerror(errno));
  }
}

int ServerSocket::getLocalPort() const {
  if (isClosed()) return -1;
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

void ServerSocket::close() {
  if (closed_.exchange(true)) return;
  // shutdown stops listening and wakes a thread blocked in accept (Linux).
  ::shutdown(fd_, SHUT_RDWR);
}

bool ServerSocket::isClosed() const { return closed_.load(); }

}  // namespace platform
