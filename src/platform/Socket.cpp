#include "platform/Socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/HostResolver.h"
#include "platform/NetExceptions.h"

namespace platform {

namespace {

std::string errorText(int error) {
  if (error == ECONNRESET) return "Connection reset";
  return std::strerror(error);
}

// Connects fd within timeout; false with errno set when it cannot.
bool connectWithin(int fd, const sockaddr* address, socklen_t length,
                   std::chrono::milliseconds timeout) {
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(fd, address, length);
  if (rc != 0 && errno != EINPROGRESS) return false;
  if (rc != 0) {
    pollfd wait{fd, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&wait, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
      errno = error;
      return false;
    }
  }
  ::fcntl(fd, F_SETFL, flags);
  return true;
}

int connectTo(const std::optional<std::string>& host, int port,
              std::optional<std::chrono::milliseconds> timeout = std::nullopt) {
  int lastError = ECONNREFUSED;
  for (const auto& address : HostResolver::resolve(host, port)) {
    int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    const auto* target = reinterpret_cast<const sockaddr*>(&address.storage);
    if (timeout) {
      if (connectWithin(fd, target, address.length, *timeout)) return fd;
    } else {
      int rc;
      do {
        rc = ::connect(fd, target, address.length);
      } while (rc != 0 && errno == EINTR);
      if (rc == 0) return fd;
    }
    lastError = errno;
    ::close(fd);
  }
  if (lastError == ETIMEDOUT && timeout) throw SocketTimeoutException("connect timed out");
  throw ConnectException(std::strerror(lastError));
}

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  if (address.ss_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  }
  return -1;
}

}  // namespace

class Socket::Input : public InputStream {
 public:
  explicit Input(Socket& socket) : socket_(socket) {}
  using InputStream::read;
  int read(char* buffer, int offset, int count) override {
    if (count <= 0) return 0;
    return socket_.receive(buffer + offset, count);
  }
  void close() override { socket_.close(); }

 private:
  Socket& socket_;
};

class Socket::Output : public OutputStream {
 public:
  explicit Output(Socket& socket) : socket_(socket) {}
  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override {
    if (count > 0) socket_.send(buffer + offset, count);
  }
  void write(int value) override {
    char byte = static_cast<char>(value & 0xFF);
    socket_.send(&byte, 1);
  }
  void close() override { socket_.close(); }

 private:
  Socket& socket_;
};

Socket::Socket(const std::optional<std::string>& host, int port)
    : Socket(connectTo(host, port)) {}

Socket::Socket(const std::optional<std::string>& host, int port,
               std::chrono::milliseconds timeout)
    : Socket(connectTo(host, port, timeout)) {}

Socket::Socket(int descriptor)
    : fd_(descriptor), in_(std::make_unique<Input>(*this)), out_(std::make_unique<Output>(*this)) {}

Socket::~Socket() {
  Socket::close();
  ::close(fd_);
}

InputStream& Socket::getInputStream() { return *in_; }
OutputStream& Socket::getOutputStream() { return *out_; }

void Socket::setSoTimeout(std::chrono::milliseconds timeout) {
  timeval limit{};
  limit.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  limit.tv_usec = static_cast<suseconds_t>(timeout.count() % 1000 * 1000);
  if (::setsockopt(descriptor(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit) != 0 ||
      ::setsockopt(descriptor(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
    throw SocketException(std::strerror(errno));
  }
}

void Socket::setTcpNoDelay(bool on) {
  int value = on ? 1 : 0;
  if (::setsockopt(descriptor(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) != 0) {
    throw SocketException(std::strerror(errno));
  }
}

bool Socket::getTcpNoDelay() const {
  int value = 0;
  socklen_t length = sizeof value;
  if (::getsockopt(descriptor(), IPPROTO_TCP, TCP_NODELAY, &value, &length) != 0) {
    throw SocketException(std::strerror(errno));
  }
  return value != 0;
}

int Socket::getPort() const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(descriptor(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  return portOf(address);
}

int Socket::getLocalPort() const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(descriptor(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  return portOf(address);
}

void Socket::close() {
  if (closed_.exchange(true)) return;
  // Wakes a reader blocked on another thread; it then sees the end.
  ::shutdown(fd_, SHUT_RDWR);
}

bool Socket::isClosed() const { return closed_.load(); }

int Socket::descriptor() const {
  if (closed_.load()) throw SocketException("Socket closed");
  return fd_;
}

int Socket::receive(char* buffer, int count) {
  int fd = descriptor();
  for (;;) {
    ssize_t n = ::recv(fd, buffer, static_cast<size_t>(count), 0);
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return -1;
    if (errno == EINTR) continue;
    if (isClosed()) return -1;
    if (errno == EAGAIN || errno == EWOULDBLOCK) throw SocketTimeoutException("Read timed out");
    throw SocketException(errorText(errno));
  }
}

void Socket::send(const char* buffer, int count) {
  int fd = descriptor();
  while (count > 0) {
    // MSG_NOSIGNAL: a peer that went away is an exception, not a SIGPIPE.
    ssize_t n = ::send(fd, buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) throw SocketTimeoutException("Write timed out");
      throw SocketException(errorText(errno));
    }
    buffer += n;
    count -= static_cast<int>(n);
  }
}

}  // namespace platform
