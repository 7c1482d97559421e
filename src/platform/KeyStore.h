#pragma once

#include <vector>

#include "platform/X509Certificate.h"

namespace platform {

// A store of trusted certificates: the trust anchors a trust-manager factory
// may be initialised with instead of the system's certificate authorities.
class KeyStore {
 public:
  void addTrustedCertificate(const X509Certificate& certificate) {
    certificates_.push_back(certificate);
  }
  const std::vector<X509Certificate>& getTrustedCertificates() const { return certificates_; }

 private:
  std::vector<X509Certificate> certificates_;
};

}  // namespace platform
