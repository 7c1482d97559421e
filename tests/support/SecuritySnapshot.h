#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Security.h"

namespace testsupport {

// Puts the security providers and the trust-manager property back as they
// were when it was made, so that a test may install or remove providers.
class SecuritySnapshot {
 public:
  SecuritySnapshot()
      : providers_(platform::Security::getProviders()),
        algorithm_(platform::Security::getProperty(
            platform::Security::kTrustManagerAlgorithmProperty)) {}

  ~SecuritySnapshot() {
    for (const auto& provider : platform::Security::getProviders()) {
      platform::Security::removeProvider(provider->getName());
    }
    for (const auto& provider : providers_) {
      platform::Security::insertProviderAt(provider, 0);
    }
    if (algorithm_) {
      platform::Security::setProperty(platform::Security::kTrustManagerAlgorithmProperty,
                                      *algorithm_);
    }
  }

  SecuritySnapshot(const SecuritySnapshot&) = delete;
  SecuritySnapshot& operator=(const SecuritySnapshot&) = delete;

 private:
  std::vector<std::shared_ptr<platform::Provider>> providers_;
  std::optional<std::string> algorithm_;
};

}  // namespace testsupport
