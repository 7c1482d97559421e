#include "platform/TrustManagerFactory.h"

#include "platform/PlatformTlsProvider.h"
#include "platform/Security.h"
#include "platform/SecurityExceptions.h"

namespace platform {

TrustManagerFactory::TrustManagerFactory(std::unique_ptr<TrustManagerFactorySpi> spi,
                                         std::shared_ptr<Provider> provider,
                                         std::string algorithm)
    : spi_(std::move(spi)), provider_(std::move(provider)), algorithm_(std::move(algorithm)) {}

std::string TrustManagerFactory::getDefaultAlgorithm() {
  auto algorithm = Security::getProperty(Security::kTrustManagerAlgorithmProperty);
  return algorithm ? *algorithm : PlatformTlsProvider::kTrustAlgorithm;
}

std::unique_ptr<TrustManagerFactory> TrustManagerFactory::getInstance(
    const std::string& algorithm) {
  for (const auto& provider : Security::getProviders()) {
    auto className = provider->getServiceClassName("TrustManagerFactory", algorithm);
    if (!className) continue;
    return std::unique_ptr<TrustManagerFactory>(new TrustManagerFactory(
        TrustManagerFactorySpi::newInstance(*className), provider, algorithm));
  }
  throw NoSuchAlgorithmException(algorithm + " TrustManagerFactory not available");
}

}  // namespace platform
