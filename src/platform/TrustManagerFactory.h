#pragma once

#include <memory>
#include <string>

#include "platform/Provider.h"
#include "platform/TrustManagerFactorySpi.h"

namespace platform {

// Hands out the trust managers of one algorithm, implemented by the first
// installed provider (in Security's order) that offers it.
class TrustManagerFactory {
 public:
  // The security property "ssl.TrustManagerFactory.algorithm", or "PKIX"
  // when it is not set.
  static std::string getDefaultAlgorithm();
  // Fails with NoSuchAlgorithmException when no installed provider offers
  // the algorithm (compared without regard to case).
  static std::unique_ptr<TrustManagerFactory> getInstance(const std::string& algorithm);

  const std::string& getAlgorithm() const { return algorithm_; }
  const std::shared_ptr<Provider>& getProvider() const { return provider_; }

  void init(const KeyStore* keyStore) { spi_->engineInit(keyStore); }
  void init(const ManagerFactoryParameters& parameters) { spi_->engineInit(parameters); }
  TrustManagers getTrustManagers() { return spi_->engineGetTrustManagers(); }

 private:
  TrustManagerFactory(std::unique_ptr<TrustManagerFactorySpi> spi,
                      std::shared_ptr<Provider> provider, std::string algorithm);

  std::unique_ptr<TrustManagerFactorySpi> spi_;
  std::shared_ptr<Provider> provider_;
  std::string algorithm_;
};

}  // namespace platform
