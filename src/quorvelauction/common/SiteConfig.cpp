#include "quorvelauction/common/SiteConfig.h"

#include "platform/Exceptions.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::common {

SiteConfig::SiteConfig(int32_t siteId) : SiteConfig(siteId, GlobalConfig::getPath()) {}

SiteConfig::SiteConfig(int32_t siteId, const std::string& applicationFolder) {
  platform::InputStreamPtr in = GlobalConfig::createFileInputStream(
      applicationFolder + "WEB-INF/" + std::to_string(siteId) + "/config/config.properties");
  config_.load(*in);
  in->close();
}

std::shared_ptr<SiteConfig> SiteConfig::getConfigLocked(int32_t siteId, const std::string& applicationFolder) {
  auto it = configs_.find(siteId);
  if (it != configs_.end()) return it->second;
  std::shared_ptr<SiteConfig> config;
  try {
    config.reset(new SiteConfig(siteId, applicationFolder));
  } catch (const platform::IOException& e) {
    platform::System::out().println("can't read config.properties file");
    platform::printStackTrace(e);
    throw;
  }
  config->setProperty("ebayApi.SiteId", std::to_string(siteId));
  configs_[siteId] = config;
  return config;
}

std::shared_ptr<SiteConfig> SiteConfig::getConfig(int32_t siteId) {
  std::string folder = GlobalConfig::getPath();
  std::lock_guard<std::mutex> guard(lock_);
  return getConfigLocked(siteId, folder);
}

std::optional<std::string> SiteConfig::getProperty(int32_t siteId, const std::string& key) {
  std::string folder = GlobalConfig::getPath();
  std::lock_guard<std::mutex> guard(lock_);
  return getConfigLocked(siteId, folder)->getProperty(key);
}

void SiteConfig::setProperty(int32_t siteId, const std::string& key, const std::string& value) {
  std::string folder = GlobalConfig::getPath();
  std::lock_guard<std::mutex> guard(lock_);
  getConfigLocked(siteId, folder)->setProperty(key, value);
}

void SiteConfig::clear() {
  std::lock_guard<std::mutex> guard(lock_);
  configs_.clear();
}

}  // namespace quorvelauction::common
