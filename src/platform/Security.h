#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Provider.h"

namespace platform {

// The process-wide, ordered list of installed security providers (most
// preferred first) and the security properties. At start the list holds the
// platform's own provider (PlatformTlsProvider) and the property
// "ssl.TrustManagerFactory.algorithm" is "PKIX". Safe for use by several
// threads.
class Security {
 public:
  static constexpr const char* kTrustManagerAlgorithmProperty = "ssl.TrustManagerFactory.algorithm";

  static std::vector<std::shared_ptr<Provider>> getProviders();
  // The installed provider of that name (exact), or null.
  static std::shared_ptr<Provider> getProvider(const std::string& name);

  // Inserts provider at the 1-based position; a position outside
  // 1..size appends it. Returns the position it got, or -1 (and changes
  // nothing) when a provider of the same name is installed already.
  static int insertProviderAt(std::shared_ptr<Provider> provider, int position);
  // Removes the provider of that name, if installed.
  static void removeProvider(const std::string& name);

  static std::optional<std::string> getProperty(const std::string& key);
  static void setProperty(const std::string& key, const std::string& value);
};

}  // namespace platform
