#include "platform/Security.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/Exceptions.h"
#include "platform/PlatformTlsProvider.h"

namespace platform {

namespace {

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<Provider>> providers{std::make_shared<PlatformTlsProvider>()};
  std::map<std::string, std::string> properties{
      {Security::kTrustManagerAlgorithmProperty, PlatformTlsProvider::kTrustAlgorithm}};
};

Registry& registry() {
  static Registry instance;
  return instance;
}

}  // namespace

std::vector<std::shared_ptr<Provider>> Security::getProviders() {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.providers;
}

std::shared_ptr<Provider> Security::getProvider(const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const auto& provider : r.providers) {
    if (provider->getName() == name) return provider;
  }
  return nullptr;
}

int Security::insertProviderAt(std::shared_ptr<Provider> provider, int position) {
  if (!provider) throw NullPointerException("provider");
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const auto& installed : r.providers) {
    if (installed->getName() == provider->getName()) return -1;
  }
  const int size = static_cast<int>(r.providers.size());
  if (position < 1 || position > size) position = size + 1;
  r.providers.insert(r.providers.begin() + (position - 1), std::move(provider));
  return position;
}

void Security::removeProvider(const std::string& name) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  std::erase_if(r.providers, [&](const auto& p) { return p->getName() == name; });
}

std::optional<std::string> Security::getProperty(const std::string& key) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.properties.find(key);
  if (it == r.properties.end()) return std::nullopt;
  return it->second;
}

void Security::setProperty(const std::string& key, const std::string& value) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.properties[key] = value;
}

}  // namespace platform
