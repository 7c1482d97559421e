#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/Properties.h"

namespace quorvelauction::common {

// The settings of one eBay site, from the application folder's "WEB-INF/" +
// site id + "/config/config.properties"; "ebayApi.SiteId" always reads as
// the site's own id. Made on first use and cached until clear; setProperty
// changes memory only. The class lock guards the cache and the settings; the
// application folder is taken from GlobalConfig before it.
class SiteConfig {
 public:
  // A new, uncached object with the file's settings. Raises I/O errors.
  explicit SiteConfig(int32_t siteId);

  // A failure prints "can't read config.properties file" and the stack
  // trace, caches nothing and passes the error on.
  static std::shared_ptr<SiteConfig> getConfig(int32_t siteId);
  static std::optional<std::string> getProperty(int32_t siteId, const std::string& key);
  static void setProperty(int32_t siteId, const std::string& key, const std::string& value);
  static void clear();

 private:
  SiteConfig(int32_t siteId, const std::string& applicationFolder);
  static std::shared_ptr<SiteConfig> getConfigLocked(int32_t siteId, const std::string& applicationFolder);

  std::optional<std::string> getProperty(const std::string& key) const { return config_.getProperty(key); }
  void setProperty(const std::string& key, const std::string& value) { config_.setProperty(key, value); }

  platform::Properties config_;

  static inline std::mutex lock_;
  static inline std::unordered_map<int32_t, std::shared_ptr<SiteConfig>> configs_;
};

}  // namespace quorvelauction::common
