#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace platform {

// Failures of the security providers, trust managers and TLS connections.
// TLS failures are I/O failures, so that callers that handle I/O errors of a
// connection also handle a failed handshake.

class GeneralSecurityException : public Exception {
 public:
  explicit GeneralSecurityException(const std::string& message = "") : Exception(message) {}
  const char* typeName() const override { return "GeneralSecurityException"; }
};

class NoSuchAlgorithmException : public GeneralSecurityException {
 public:
  explicit NoSuchAlgorithmException(const std::string& message = "")
      : GeneralSecurityException(message) {}
  const char* typeName() const override { return "NoSuchAlgorithmException"; }
};

class InvalidAlgorithmParameterException : public GeneralSecurityException {
 public:
  explicit InvalidAlgorithmParameterException(const std::string& message = "")
      : GeneralSecurityException(message) {}
  const char* typeName() const override { return "InvalidAlgorithmParameterException"; }
};

class KeyManagementException : public GeneralSecurityException {
 public:
  explicit KeyManagementException(const std::string& message = "")
      : GeneralSecurityException(message) {}
  const char* typeName() const override { return "KeyManagementException"; }
};

class CertificateException : public GeneralSecurityException {
 public:
  explicit CertificateException(const std::string& message = "")
      : GeneralSecurityException(message) {}
  const char* typeName() const override { return "CertificateException"; }
};

class SSLException : public IOException {
 public:
  explicit SSLException(const std::string& message = "") : IOException(message) {}
  const char* typeName() const override { return "SSLException"; }
};

class SSLHandshakeException : public SSLException {
 public:
  explicit SSLHandshakeException(const std::string& message = "") : SSLException(message) {}
  const char* typeName() const override { return "SSLHandshakeException"; }
};

}  // namespace platform
