#pragma once

#include "platform/X509TrustManager.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// Trusts every certificate chain, absent ones included: the online service
// may present any certificate.
class Server::AcceptAllTrust : public platform::X509TrustManager {
 public:
  // No list of issuers (absent, not empty).
  std::optional<std::vector<platform::X509Certificate>> getAcceptedIssuers() override {
    return std::nullopt;
  }
  void checkServerTrusted(const platform::CertificateChain*, const std::string&) override {}
  void checkClientTrusted(const platform::CertificateChain*, const std::string&) override {}
};

}  // namespace quorvelauction::offline
