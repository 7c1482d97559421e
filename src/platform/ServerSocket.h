#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "platform/Socket.h"

namespace platform {

// A listening TCP socket. Port 0 picks a free port (see getLocalPort).
class ServerSocket {
 public:
  // Listens on port of the first address that bindHost resolves to (IPv4
  // first), or of every local address when bindHost is absent. The address
  // may be reused at once after an earlier listener ended, but a port that a
  // running listener holds fails with SocketException ("Address already in use").
  ServerSocket(int port, int backlog, const std::optional<std::string>& bindHost);
  ~ServerSocket();
  ServerSocket(const ServerSocket&) = delete;
  ServerSocket& operator=(const ServerSocket&) = delete;

  // Waits for the next connection. Fails with SocketException once closed.
  std::unique_ptr<Socket> accept();

  int getLocalPort() const;

  // Idempotent; stops listening and wakes a thread waiting in accept(),
  // which then fails. The descriptor is released when the object goes.
  void close();
  bool isClosed() const;

 private:
  const int fd_;
  std::atomic<bool> closed_{false};
};

}  // namespace platform
