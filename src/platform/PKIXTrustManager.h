#pragma once

#include <vector>

#include "platform/KeyStore.h"
#include "platform/X509TrustManager.h"

struct x509_store_st;

namespace platform {

// Validates certificate chains as OpenSSL does for TLS: a path to a trusted
// anchor, signatures, validity dates and the key usage for the peer's role.
// The anchors are the key store's certificates, or the system's certificate
// authorities when there is no key store. Host names are not checked here.
class PKIXTrustManager : public X509TrustManager {
 public:
  explicit PKIXTrustManager(const KeyStore* keyStore);
  ~PKIXTrustManager() override;
  PKIXTrustManager(const PKIXTrustManager&) = delete;
  PKIXTrustManager& operator=(const PKIXTrustManager&) = delete;

  // The key store's certificates; empty for the system's authorities.
  std::optional<std::vector<X509Certificate>> getAcceptedIssuers() override;
  // Fail with IllegalArgumentException for an absent or empty chain or an
  // empty authType, and with CertificateException for an untrusted chain.
  void checkServerTrusted(const CertificateChain* chain, const std::string& authType) override;
  void checkClientTrusted(const CertificateChain* chain, const std::string& authType) override;

 private:
  void check(const CertificateChain* chain, const std::string& authType, int purpose) const;

  x509_store_st* store_;
  std::vector<X509Certificate> anchors_;
};

}  // namespace platform
