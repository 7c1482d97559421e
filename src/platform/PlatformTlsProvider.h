#pragma once

#include "platform/Provider.h"

namespace platform {

// The platform's own provider, first in Security's list: the "PKIX"
// trust-manager factory, which validates certificate chains with OpenSSL.
class PlatformTlsProvider : public Provider {
 public:
  static constexpr const char* kName = "PlatformTLS";
  static constexpr const char* kTrustAlgorithm = "PKIX";

  PlatformTlsProvider();
};

}  // namespace platform
