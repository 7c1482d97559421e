#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/SSLSocketFactory.h"
#include "platform/TlsEngine.h"
#include "platform/TrustManager.h"

struct ssl_ctx_st;

namespace platform {

// A TLS client context: the protocol and the trust managers that decide
// which servers are trusted. Every version of TLS the library allows is
// offered. Key managers and the random source are the library's own.
class SSLContext {
 public:
  // protocol "SSL" or "TLS" (any case); otherwise NoSuchAlgorithmException.
  static std::shared_ptr<SSLContext> getInstance(const std::string& protocol);

  // trustManagers absent: the default ones, taken now from a factory of
  // TrustManagerFactory::getDefaultAlgorithm() initialised without a key
  // store, so that the installed providers decide. The first
  // X509TrustManager of the list decides every chain; a list without one
  // rejects every chain. Each init replaces the previous one for sockets
  // made afterwards.
  void init(const std::optional<TrustManagers>& trustManagers);

  const std::string& getProtocol() const { return protocol_; }
  // Fails with IllegalStateException before init.
  std::shared_ptr<SSLSocketFactory> getSocketFactory() const;
  // Makes an HTTPS client's OpenSSL context trust peers as this context
  // does (e.g. from libcurl's context callback). Fails before init.
  void configure(ssl_ctx_st* context) const;

  // The context of HTTPS connections: the one last given to setDefault, or
  // else one made at first use with the default trust managers.
  static std::shared_ptr<SSLContext> getDefault();
  static void setDefault(std::shared_ptr<SSLContext> context);

 private:
  explicit SSLContext(std::string protocol) : protocol_(std::move(protocol)) {}
  std::shared_ptr<const TlsEngine> engine() const;

  const std::string protocol_;
  mutable std::mutex mutex_;
  std::shared_ptr<const TlsEngine> engine_;
};

}  // namespace platform
