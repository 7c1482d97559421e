#pragma once

#include <optional>
#include <string>

#include "platform/TrustManager.h"
#include "platform/X509Certificate.h"

namespace platform {

// Decides trust in X.509 certificate chains. A check returns normally when
// the chain is trusted and throws (CertificateException, or
// IllegalArgumentException for an unusable argument) when it is not. A chain
// may be absent (null). Implementations are used by many connections at once.
class X509TrustManager : public TrustManager {
 public:
  // The certificate authorities trusted for peers, or absent.
  virtual std::optional<std::vector<X509Certificate>> getAcceptedIssuers() = 0;
  virtual void checkServerTrusted(const CertificateChain* chain, const std::string& authType) = 0;
  virtual void checkClientTrusted(const CertificateChain* chain, const std::string& authType) = 0;
};

}  // namespace platform
