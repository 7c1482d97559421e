#pragma once

#include <optional>

#include "platform/TrustManagerFactorySpi.h"

namespace platform {

// The "PKIX" trust-manager factory: its trust manager validates chains
// against the key store it was initialised with, or the system's
// certificate authorities for an absent key store.
class PKIXTrustManagerFactory : public TrustManagerFactorySpi {
 public:
  static constexpr const char* kClassName = "platform.PKIXTrustManagerFactory";
  static void registerClass();

  void engineInit(const KeyStore* keyStore) override;
  // Fails with InvalidAlgorithmParameterException: no parameters are known.
  void engineInit(const ManagerFactoryParameters& parameters) override;
  // Fails with IllegalStateException before engineInit.
  TrustManagers engineGetTrustManagers() override;

 private:
  bool initialized_ = false;
  std::optional<KeyStore> keyStore_;
};

}  // namespace platform
