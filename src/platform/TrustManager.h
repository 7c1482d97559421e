#pragma once

#include <memory>
#include <vector>

namespace platform {

// Decides whether the credentials of a TLS peer are trusted. The kind of
// credentials is the subclass's (X509TrustManager).
class TrustManager {
 public:
  virtual ~TrustManager() = default;
};

using TrustManagers = std::vector<std::shared_ptr<TrustManager>>;

}  // namespace platform
