#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/KeyStore.h"
#include "platform/ManagerFactoryParameters.h"
#include "platform/TrustManager.h"

namespace platform {

// What a provider implements for one trust-manager algorithm. Providers name
// their implementation by class name in their table; the class makes itself
// known under that name with registerClass, so that TrustManagerFactory can
// make one when the algorithm is asked for.
class TrustManagerFactorySpi {
 public:
  using Creator = std::function<std::unique_ptr<TrustManagerFactorySpi>()>;

  virtual ~TrustManagerFactorySpi() = default;

  // keyStore may be null: the implementation's default trust anchors.
  virtual void engineInit(const KeyStore* keyStore) = 0;
  virtual void engineInit(const ManagerFactoryParameters& parameters) = 0;
  virtual TrustManagers engineGetTrustManagers() = 0;

  // Registers (or replaces) the maker of the class named className.
  static void registerClass(const std::string& className, Creator creator);
  // A new instance of the named class; NoSuchAlgorithmException when no
  // class of that name is registered.
  static std::unique_ptr<TrustManagerFactorySpi> newInstance(const std::string& className);
};

}  // namespace platform
