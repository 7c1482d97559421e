#include "quorvelauction/common/XTrustProviderTrustManagerFactoryImpl.h"

#include <memory>
#include <string>

#include "platform/SecurityExceptions.h"

namespace quorvelauction::common {

void XTrustProvider::TrustManagerFactoryImpl::registerClass() {
  platform::TrustManagerFactorySpi::registerClass(
      kClassName, [] { return std::make_unique<TrustManagerFactoryImpl>(); });
}

void XTrustProvider::TrustManagerFactoryImpl::engineInit(
    const platform::ManagerFactoryParameters&) {
  throw platform::InvalidAlgorithmParameterException(std::string(NAME) +
                                                     " does not use ManagerFactoryParameters");
}

platform::TrustManagers XTrustProvider::TrustManagerFactoryImpl::engineGetTrustManagers() {
  return {std::make_shared<AcceptAll>()};
}

}  // namespace quorvelauction::common
