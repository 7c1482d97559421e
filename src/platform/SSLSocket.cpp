#include "platform/SSLSocket.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/NetExceptions.h"
#include "platform/SecurityExceptions.h"

namespace platform {

// What the TLS library reads from and writes to: the connection's
// descriptor, and the last system error seen on it.
struct SSLSocket::Channel {
  int fd;
  int lastError = 0;
};

namespace {

SSLSocket::Channel* channelOf(BIO* bio) { return static_cast<SSLSocket::Channel*>(BIO_get_data(bio)); }

int channelRead(BIO* bio, char* buffer, int count) {
  auto* channel = channelOf(bio);
  for (;;) {
    ssize_t n = ::recv(channel->fd, buffer, static_cast<size_t>(count), 0);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    channel->lastError = errno;
    return -1;
  }
}

int channelWrite(BIO* bio, const char* buffer, int count) {
  auto* channel = channelOf(bio);
  for (;;) {
    // MSG_NOSIGNAL: a vanished peer is an error, not a SIGPIPE.
    ssize_t n = ::send(channel->fd, buffer, static_cast<size_t>(count), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    channel->lastError = errno;
    return -1;
  }
}

long channelControl(BIO*, int command, long, void*) {
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int channelCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

// The first reason on the TLS library's error queue, or fallback.
std::string libraryError(const char* fallback) {
  unsigned long first = ERR_get_error();
  ERR_clear_error();
  if (first == 0) return fallback;
  const char* reason = ERR_reason_error_string(first);
  return reason ? reason : fallback;
}

}  // namespace

bio_method_st* SSLSocket::channelMethod() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket channel");
    BIO_meth_set_read(m, channelRead);
    BIO_meth_set_write(m, channelWrite);
    BIO_meth_set_ctrl(m, channelControl);
    BIO_meth_set_create(m, channelCreate);
    return m;
  }();
  return method;
}

SSLSocket::SSLSocket(std::shared_ptr<const TlsEngine> engine,
                     const std::optional<std::string>& host, int port)
    : Socket(host, port),
      engine_(std::move(engine)),
      channel_(std::make_unique<Channel>(Channel{descriptor()})),
      session_(engine_->newClientSession(host)) {
  attachChannel();
}

SSLSocket::SSLSocket(std::shared_ptr<const TlsEngine> engine,
                     const std::optional<std::string>& host, int port,
                     std::chrono::milliseconds connectTimeout)
    : Socket(host, port, connectTimeout),
      engine_(std::move(engine)),
      channel_(std::make_unique<Channel>(Channel{descriptor()})),
      session_(engine_->newClientSession(host)) {
  attachChannel();
}

void SSLSocket::attachChannel() {
  BIO* bio = BIO_new(channelMethod());
  if (!bio) {
    SSL_free(session_);
    throw SSLException("cannot make a TLS channel");
  }
  BIO_set_data(bio, channel_.get());
  SSL_set_bio(session_, bio, bio);
  SSL_set_connect_state(session_);
}

SSLSocket::~SSLSocket() {
  SSLSocket::close();
  SSL_free(session_);
}

void SSLSocket::startHandshake() {
  descriptor();
  if (handshakeDone_) return;
  ERR_clear_error();
  int result = SSL_do_handshake(session_);
  if (result != 1) {
    std::string why;
    if (auto refusal = TlsEngine::trustFailure(session_)) {
      ERR_clear_error();
      why = *refusal;
    } else if (SSL_get_error(session_, result) == SSL_ERROR_SYSCALL && channel_->lastError) {
      ERR_clear_error();
      if (channel_->lastError == EAGAIN || channel_->lastError == EWOULDBLOCK) {
        Socket::close();
        throw SocketTimeoutException("Read timed out");
      }
      why = std::strerror(channel_->lastError);
    } else {
      why = libraryError("Remote host terminated the handshake");
    }
    Socket::close();
    throw SSLHandshakeException(why);
  }
  handshakeDone_ = true;
}

void SSLSocket::close() {
  if (isClosed()) return;
  // No close notice after a fatal TLS error: the session must not be used.
  if (handshakeDone_ && !failed_) {
    SSL_shutdown(session_);
    ERR_clear_error();
  }
  Socket::close();
}

int SSLSocket::receive(char* buffer, int count) {
  startHandshake();
  ERR_clear_error();
  int result = SSL_read(session_, buffer, count);
  if (result > 0) return result;
  int error = SSL_get_error(session_, result);
  if (error == SSL_ERROR_ZERO_RETURN || isClosed()) return -1;
  if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0 && channel_->lastError == 0) return -1;
  fail(error, "read");
}

void SSLSocket::send(const char* buffer, int count) {
  startHandshake();
  ERR_clear_error();
  int result = SSL_write(session_, buffer, count);
  if (result == count) return;
  fail(SSL_get_error(session_, result), "write");
}

void SSLSocket::fail(int error, const char* what) {
  failed_ = true;
  if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
    int system = channel_->lastError;
    if (system == ECONNRESET) throw SocketException("Connection reset");
    if (system == EAGAIN || system == EWOULDBLOCK) throw SocketTimeoutException("Read timed out");
    throw SocketException(system ? std::strerror(system) : std::string(what) + " failed");
  }
  throw SSLException(libraryError("TLS failure"));
}

}  // namespace platform
