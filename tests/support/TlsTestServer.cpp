#include "support/TlsTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr long kDay = 24 * 60 * 60;

void addExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) throw std::runtime_error("cannot make certificate extension");
  X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
}

X509* selfSigned(EVP_PKEY* key, bool expired) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -2 * kDay : -60 * 60);
  X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -kDay : kDay);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  addExtension(certificate, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
  if (X509_sign(certificate, key, EVP_sha256()) == 0) {
    X509_free(certificate);
    throw std::runtime_error("cannot sign certificate");
  }
  return certificate;
}

}  // namespace

TlsTestServer::TlsTestServer(Options options) : options_(options) {
  // A client that gives up mid-handshake must not kill the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  key_ = EVP_EC_gen("P-256");
  if (!key_) throw std::runtime_error("cannot make key");
  certificate_ = selfSigned(key_, options_.expired);
  context_ = SSL_CTX_new(TLS_server_method());
  if (!context_ || SSL_CTX_use_certificate(context_, certificate_) != 1 ||
      SSL_CTX_use_PrivateKey(context_, key_) != 1) {
    throw std::runtime_error("cannot set up server context");
  }

  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 8) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe(stopPipe_) != 0) {
    throw std::runtime_error("cannot listen");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { serve(); });
}

TlsTestServer::~TlsTestServer() {
  [[maybe_unused]] ssize_t woken = ::write(stopPipe_[1], "x", 1);
  thread_.join();
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  ::close(listener_);
  SSL_CTX_free(context_);
  X509_free(certificate_);
  EVP_PKEY_free(key_);
}

void TlsTestServer::serve() {
  for (;;) {
    pollfd waits[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents) return;
    int client = ::accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    // Bounds a test whose client stops talking; not a timing being tested.
    timeval limit{10, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    serveOne(client);
    ::close(client);
  }
}

void TlsTestServer::serveOne(int client) {
  SSL* session = SSL_new(context_);
  SSL_set_fd(session, client);
  if (SSL_accept(session) == 1) {
    ++handshakes_;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      int n = SSL_read(session, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const std::string reply = "echo:" + request;
    SSL_write(session, reply.data(), static_cast<int>(reply.size()));
    if (options_.closeNotify) SSL_shutdown(session);
  }
  ERR_clear_error();
  SSL_free(session);
}

}  // namespace testsupport
