#pragma once

#include <memory>
#include <string>
#include <vector>

struct x509_st;

namespace platform {

// One X.509 certificate, shared by reference: copies refer to the same
// certificate of the TLS library.
class X509Certificate {
 public:
  // Takes a reference of its own to certificate (which must not be null).
  explicit X509Certificate(x509_st* certificate);

  // The subject's distinguished name, RFC 2253 form ("CN=localhost,O=...").
  std::string getSubjectName() const;
  // The DER encoding.
  std::string getEncoded() const;

  x509_st* handle() const { return certificate_.get(); }

 private:
  std::shared_ptr<x509_st> certificate_;
};

// A certificate chain as a peer presents it: its own certificate first.
using CertificateChain = std::vector<X509Certificate>;

}  // namespace platform
