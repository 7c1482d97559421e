#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Socket.h"
#include "platform/TlsEngine.h"

struct bio_method_st;

namespace platform {

// A TLS client connection (made by SSLSocketFactory). The handshake runs on
// the first read or write, or on startHandshake(); it fails with
// SSLHandshakeException, whose message says why (the trust manager's
// refusal, for instance), and the connection is then closed. Unlike a plain
// Socket, one thread at a time uses it.
class SSLSocket : public Socket {
 public:
  SSLSocket(std::shared_ptr<const TlsEngine> engine, const std::optional<std::string>& host,
            int port);
  // As above; a connect that takes longer than connectTimeout fails with SocketTimeoutException.
  SSLSocket(std::shared_ptr<const TlsEngine> engine, const std::optional<std::string>& host,
            int port, std::chrono::milliseconds connectTimeout);
  ~SSLSocket() override;

  void startHandshake();
  // Sends the TLS close notice (when the handshake was done), then closes.
  void close() override;
  // The file's bytes must pass through the TLS engine: always copied.
  int64_t sendFile(int fileDescriptor, int64_t count) override { return copyFile(fileDescriptor, count); }

  // What the TLS library reads and writes through (defined in the source).
  struct Channel;

 protected:
  int receive(char* buffer, int count) override;
  void send(const char* buffer, int count) override;

 private:
  static bio_method_st* channelMethod();
  void attachChannel();
  [[noreturn]] void fail(int result, const char* what);

  std::shared_ptr<const TlsEngine> engine_;
  std::unique_ptr<Channel> channel_;
  ssl_st* session_;
  bool handshakeDone_ = false;
  bool failed_ = false;
};

}  // namespace platform
