#include "platform/PlatformTlsProvider.h"

#include <string>

#include "platform/PKIXTrustManagerFactory.h"

namespace platform {

PlatformTlsProvider::PlatformTlsProvider()
    : Provider(kName, 1.0, "Certificate path validation with OpenSSL (PKIX trust managers)") {
  PKIXTrustManagerFactory::registerClass();
  put(std::string("TrustManagerFactory.") + kTrustAlgorithm, PKIXTrustManagerFactory::kClassName);
}

}  // namespace platform
