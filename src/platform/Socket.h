#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/HostResolver.h"
#include "platform/InputStream.h"
#include "platform/OutputStream.h"

namespace platform {

// A connected TCP client socket. Its input and output streams belong to the
// socket and live as long as it; closing either stream closes the socket.
// Without time-outs set, connects and reads block until done, end or failure.
// One thread may read while another writes; close() from any thread wakes
// a blocked reader, which then sees the end of the stream.
class Socket {
 public:
  // Connects to port of host (a name or an address text), trying its
  // addresses in order. An absent or empty host is the loopback address.
  // Fails with UnknownHostException, ConnectException (refused, unreachable)
  // or IllegalArgumentException for a port outside 0..65535.
  Socket(const std::optional<std::string>& host, int port);
  // What a connect time-out bounds when a name has several addresses: the
  // connect to each one, so that an address that drops packets passes on to
  // the next, or all of them together, so that the whole connect is bounded.
  enum class Deadline { kEachAddress, kAllAddresses };
  // As above; a connect that takes longer than timeout fails with
  // SocketTimeoutException.
  Socket(const std::optional<std::string>& host, int port, std::chrono::milliseconds timeout,
         Deadline deadline = Deadline::kEachAddress);
  // As above, to addresses already resolved.
  Socket(const std::vector<HostResolver::Address>& addresses, std::chrono::milliseconds timeout,
         Deadline deadline = Deadline::kEachAddress);
  // Takes over a connected descriptor (a connection that was accepted).
  explicit Socket(int descriptor);
  virtual ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  InputStream& getInputStream();
  OutputStream& getOutputStream();

  // A read that waits longer than timeout for data fails with
  // SocketTimeoutException("Read timed out"); zero waits for ever.
  void setSoTimeout(std::chrono::milliseconds timeout);
  void setTcpNoDelay(bool on);
  bool getTcpNoDelay() const;
  // Sends up to count bytes of the open file, from its current offset on,
  // which moves past them; how many were sent, fewer only when the file
  // ended first. The bytes go from the file straight to the connection,
  // without a copy through the process, where the connection allows it.
  // Fails as a write to the output stream does.
  virtual int64_t sendFile(int fileDescriptor, int64_t count);
  // The remote and the local port of the connection.
  int getPort() const;
  int getLocalPort() const;

  // Idempotent. Reads and writes afterwards fail with SocketException. The
  // descriptor itself is released when the object goes, so that a thread
  // still inside a read never touches a reused descriptor.
  virtual void close();
  bool isClosed() const;

 protected:
  // One read of up to count bytes: how many were read, or -1 at the end.
  virtual int receive(char* buffer, int count);
  // Writes all count bytes.
  virtual void send(const char* buffer, int count);
  // sendFile by reading the file and writing what was read with send().
  int64_t copyFile(int fileDescriptor, int64_t count);
  // The open descriptor; fails with SocketException("Socket closed") after close().
  int descriptor() const;

 private:
  class Input;
  class Output;

  const int fd_;
  std::atomic<bool> closed_{false};
  std::unique_ptr<Input> in_;
  std::unique_ptr<Output> out_;
};

}  // namespace platform
