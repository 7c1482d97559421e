#pragma once

#include <atomic>
#include <string>
#include <thread>

struct evp_pkey_st;
struct ssl_ctx_st;
struct x509_st;

namespace testsupport {

// A TLS server on a free loopback port, presenting a self-signed certificate
// for "localhost" that it makes at start. Serves one connection at a time on
// its own thread: the handshake, then it reads up to the first empty line
// ("\r\n\r\n") or the end, answers "echo:" plus what it read, and closes.
class TlsTestServer {
 public:
  struct Options {
    bool expired = false;      // the certificate's validity ended yesterday
    bool closeNotify = true;   // send the TLS close notice before closing
  };

  TlsTestServer() : TlsTestServer(Options{}) {}
  explicit TlsTestServer(Options options);
  ~TlsTestServer();
  TlsTestServer(const TlsTestServer&) = delete;
  TlsTestServer& operator=(const TlsTestServer&) = delete;

  int port() const { return port_; }
  // The server's certificate (owned by the server).
  x509_st* certificate() const { return certificate_; }
  // Connections whose handshake succeeded so far.
  int handshakes() const { return handshakes_.load(); }

 private:
  void serve();
  void serveOne(int client);

  Options options_;
  evp_pkey_st* key_ = nullptr;
  x509_st* certificate_ = nullptr;
  ssl_ctx_st* context_ = nullptr;
  int listener_ = -1;
  int port_ = 0;
  int stopPipe_[2] = {-1, -1};
  std::atomic<int> handshakes_{0};
  std::thread thread_;
};

}  // namespace testsupport
