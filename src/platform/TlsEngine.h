#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/X509TrustManager.h"

struct ssl_ctx_st;
struct ssl_st;
struct x509_store_ctx_st;

namespace platform {

// The TLS library side of one initialised SSLContext: an OpenSSL client
// context whose peer chains are decided by a trust manager alone (OpenSSL's
// own chain check is replaced, not added to). Immutable, so sessions on many
// threads may share it.
class TlsEngine : public std::enable_shared_from_this<TlsEngine> {
 public:
  // trustManager decides every peer chain; null rejects them all.
  explicit TlsEngine(std::shared_ptr<X509TrustManager> trustManager);
  ~TlsEngine();
  TlsEngine(const TlsEngine&) = delete;
  TlsEngine& operator=(const TlsEngine&) = delete;

  // A new client session, not yet attached to a connection. The server name
  // indication carries host when host is a name rather than an address.
  ssl_st* newClientSession(const std::optional<std::string>& host) const;

  // Makes another OpenSSL context (an HTTPS client's) decide peer chains
  // with this engine's trust manager; the engine lives as long as context.
  void configure(ssl_ctx_st* context) const;

  // What the trust manager said when it refused the peer of session.
  static std::optional<std::string> trustFailure(const ssl_st* session);

 private:
  static void attach(ssl_ctx_st* context, const TlsEngine* engine);
  static int verifyPeer(x509_store_ctx_st* store, void* engine);

  ssl_ctx_st* context_;
  std::shared_ptr<X509TrustManager> trustManager_;
};

}  // namespace platform
