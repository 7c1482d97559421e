#include "platform/PKIXTrustManagerFactory.h"

#include "platform/PKIXTrustManager.h"
#include "platform/SecurityExceptions.h"

namespace platform {

void PKIXTrustManagerFactory::registerClass() {
  TrustManagerFactorySpi::registerClass(
      kClassName, [] { return std::make_unique<PKIXTrustManagerFactory>(); });
}

void PKIXTrustManagerFactory::engineInit(const KeyStore* keyStore) {
  keyStore_.reset();
  if (keyStore) keyStore_ = *keyStore;
  initialized_ = true;
}

void PKIXTrustManagerFactory::engineInit(const ManagerFactoryParameters&) {
  throw InvalidAlgorithmParameterException("Unsupported ManagerFactoryParameters");
}

TrustManagers PKIXTrustManagerFactory::engineGetTrustManagers() {
  if (!initialized_) throw IllegalStateException("TrustManagerFactory is not initialized");
  return {std::make_shared<PKIXTrustManager>(keyStore_ ? &*keyStore_ : nullptr)};
}

}  // namespace platform
