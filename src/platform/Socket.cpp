#include "platform/Socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/HostResolver.h"
#include "platform/NetExceptions.h"

namespace platform {

namespace {

std::string errorText(int error) {
  if (error == ECONNRESET) return "Connection reset";
  return std::strerror(error);
}

using Clock = std::chrono::steady_clock;

// Milliseconds from now to deadline, rounded up so that a wait never ends early; 0 once past.
int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, INT32_MAX));
}

// Connects fd by deadline; false with errno set when it cannot.
bool connectBy(int fd, const sockaddr* address, socklen_t length, Clock::time_point deadline) {
  int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int rc = ::connect(fd, address, length);
  if (rc != 0 && errno != EINPROGRESS) return false;
  if (rc != 0) {
    pollfd wait{fd, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&wait, 1, millisecondsUntil(deadline));
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

// Tries the addresses in order, each by its own deadline or all by one: with
// one, an address that does not answer uses up what the later ones would
// have had.
int connectTo(const std::vector<HostResolver::Address>& addresses,
              std::optional<std::chrono::milliseconds> timeout = std::nullopt,
              Socket::Deadline kind = Socket::Deadline::kEachAddress) {
  const bool shared = kind == Socket::Deadline::kAllAddresses;
  Clock::time_point deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
  int lastError = ECONNREFUSED;
  for (const auto& address : addresses) {
    int fd = ::socket(address.family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    const auto* target = reinterpret_cast<const sockaddr*>(&address.storage);
    if (timeout) {
      if (!shared) deadline = Clock::now() + *timeout;
      if (connectBy(fd, target, address.length, deadline)) return fd;
    } else {
      int rc;
      do {
        rc = ::connect(fd, target, address.length);
      } while (rc != 0 && errno == EINTR);
      if (rc == 0) return fd;
    }
    lastError = errno;
    ::close(fd);
    if (timeout && shared && Clock::now() >= deadline) {
      lastError = ETIMEDOUT;
      break;
    }
  }
  if (lastError == ETIMEDOUT && timeout) throw SocketTimeoutException("connect timed out");
  throw ConnectException(std::strerror(lastError));
}

// The most one sendfile call is asked to move; the kernel moves less anyway.
constexpr int64_t kLargestSendFile = 1 << 30;

// Sends from the file's offset until count bytes went, the file ended or a
// call failed; 0, or the errno of the failed call. SIGPIPE is held back on
// this thread meanwhile: sendfile, unlike send, has no MSG_NOSIGNAL, and a
// peer that went away must be an error, not the end of the process.
int sendFromFile(int socket, int file, int64_t count, int64_t& sent) {
  sigset_t pipe, previous;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &previous);
  int error = 0;
  while (sent < count) {
    const auto piece = static_cast<size_t>(std::min(count - sent, kLargestSendFile));
    ssize_t n = ::sendfile(socket, file, nullptr, piece);
    if (n > 0) {
      sent += n;
    } else if (n == 0) {
      break;  // the file ended
    } else if (errno != EINTR) {
      error = errno;
      break;
    }
  }
  // The signal the broken connection raised is dropped, unless the thread
  // held SIGPIPE back itself and so owns what is pending.
  if (error == EPIPE && !sigismember(&previous, SIGPIPE)) {
    const timespec now{};
    while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return error;
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
    : Socket(connectTo(HostResolver::resolve(host, port))) {}

Socket::Socket(const std::optional<std::string>& host, int port,
               std::chrono::milliseconds timeout, Deadline deadline)
    : Socket(connectTo(HostResolver::resolve(host, port), timeout, deadline)) {}

Socket::Socket(const std::vector<HostResolver::Address>& addresses,
               std::chrono::milliseconds timeout, Deadline deadline)
    : Socket(connectTo(addresses, timeout, deadline)) {}

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

int64_t Socket::sendFile(int fileDescriptor, int64_t count) {
  const int fd = descriptor();
  int64_t sent = 0;
  const int error = sendFromFile(fd, fileDescriptor, count, sent);
  if (error == 0) return sent;
  // A file the kernel cannot send from goes through the process instead.
  if ((error == EINVAL || error == ENOSYS) && sent == 0) return copyFile(fileDescriptor, count);
  if (error == EAGAIN || error == EWOULDBLOCK) throw SocketTimeoutException("Write timed out");
  throw SocketException(errorText(error));
}

int64_t Socket::copyFile(int fileDescriptor, int64_t count) {
  std::vector<char> block(static_cast<size_t>(std::clamp<int64_t>(count, 1, 1 << 20)));
  int64_t sent = 0;
  while (sent < count) {
    const auto piece = static_cast<size_t>(std::min(count - sent, static_cast<int64_t>(block.size())));
    ssize_t n = ::read(fileDescriptor, block.data(), piece);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw IOException(std::strerror(errno));
    }
    send(block.data(), static_cast<int>(n));
    sent += n;
  }
  return sent;
}

}  // namespace platform
