#include "platform/TrustManagerFactorySpi.h"

#include <map>
#include <mutex>

#include "platform/SecurityExceptions.h"

namespace platform {

namespace {

struct Classes {
  std::mutex mutex;
  std::map<std::string, TrustManagerFactorySpi::Creator> creators;
};

Classes& classes() {
  static Classes instance;
  return instance;
}

}  // namespace

void TrustManagerFactorySpi::registerClass(const std::string& className, Creator creator) {
  Classes& c = classes();
  std::lock_guard<std::mutex> lock(c.mutex);
  c.creators[className] = std::move(creator);
}

std::unique_ptr<TrustManagerFactorySpi> TrustManagerFactorySpi::newInstance(
    const std::string& className) {
  Creator creator;
  {
    Classes& c = classes();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto it = c.creators.find(className);
    if (it == c.creators.end()) {
      throw NoSuchAlgorithmException("class configured for TrustManagerFactory cannot be found: " +
                                     className);
    }
    creator = it->second;
  }
  return creator();
}

}  // namespace platform
