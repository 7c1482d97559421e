#pragma once

#include "platform/TrustManagerFactorySpi.h"
#include "platform/X509TrustManager.h"
#include "quorvelauction/common/XTrustProvider.h"

namespace quorvelauction::common {

// The "XTrustX509" trust-manager factory: it hands out trust managers that
// accept every chain. Stateless.
class XTrustProvider::TrustManagerFactoryImpl : public platform::TrustManagerFactorySpi {
 public:
  static constexpr const char* kClassName =
      "quorvelauction.common.XTrustProvider$TrustManagerFactoryImpl";

  // Trusts every peer without looking at its chain.
  class AcceptAll : public platform::X509TrustManager {
   public:
    // Absent: no list of issuers.
    std::optional<std::vector<platform::X509Certificate>> getAcceptedIssuers() override {
      return std::nullopt;
    }
    void checkServerTrusted(const platform::CertificateChain*, const std::string&) override {}
    void checkClientTrusted(const platform::CertificateChain*, const std::string&) override {}
  };

  static void registerClass();

  // The key store, absent or not, is ignored.
  void engineInit(const platform::KeyStore*) override {}
  // Always fails: InvalidAlgorithmParameterException.
  void engineInit(const platform::ManagerFactoryParameters& parameters) override;
  // A new list holding one new AcceptAll on every call.
  platform::TrustManagers engineGetTrustManagers() override;
};

}  // namespace quorvelauction::common
