#include "quorvelauction/common/XTrustProvider.h"

#include <memory>
#include <string>

#include "platform/AccessController.h"
#include "platform/Security.h"
#include "quorvelauction/common/XTrustProviderTrustManagerFactoryImpl.h"

namespace quorvelauction::common {

XTrustProvider::XTrustProvider() : Provider(NAME, VERSION, INFO) {
  // Makes the factory known by its class name, as the platform loads it.
  TrustManagerFactoryImpl::registerClass();
  RegisterService action(*this);
  platform::AccessController::doPrivileged(action);
}

void XTrustProvider::RegisterService::run() {
  provider_.put(std::string("TrustManagerFactory.") + ALG_NAME,
                TrustManagerFactoryImpl::kClassName);
}

void XTrustProvider::install() {
  if (platform::Security::getProvider(NAME)) return;
  platform::Security::insertProviderAt(std::make_shared<XTrustProvider>(), 2);
  platform::Security::setProperty(platform::Security::kTrustManagerAlgorithmProperty, ALG_NAME);
}

}  // namespace quorvelauction::common
