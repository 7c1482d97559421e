#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/Properties.h"
#include "quorvelauction/common/OfflineFile.h"

namespace quorvelauction::common {

// The settings of one marketplace domain, from the application folder's
// "WEB-INF/" + domain + "/config/config.properties", and the measured update
// file lists of the domain's two update folders ("offline/" and
// "offline2/"). Made on first use and cached for the life of the process
// (until clear); setProperty changes memory only.
//
// Locking: the class lock guards the cache, the settings and the list
// measurements. The application folder is taken from GlobalConfig before
// the class lock, so this lock is never held while GlobalConfig's is taken.
class Config {
 public:
  // A new, uncached object: reads the settings and measures both lists.
  // Raises I/O errors without a message of its own.
  explicit Config(const std::string& domain);

  // The cached object of the domain, made on first use. A failure prints
  // "can't read config.properties file" and the stack trace, caches nothing
  // and passes the error on.
  static std::shared_ptr<Config> getConfig(const std::string& domain);
  static std::optional<std::string> getProperty(const std::string& domain, const std::string& key);
  static void setProperty(const std::string& domain, const std::string& key, const std::string& value);
  // "ebayApi.SiteId" as a decimal 32-bit integer; NumberFormatException when
  // it is absent or not one.
  static int32_t getSite(const std::string& domain);
  // The measured list of the first (second = false) or second update folder.
  static OfflineFile getOfflineFilelistInfo(bool second, const std::string& domain);
  // Empties the cache.
  static void clear();

 private:
  Config(const std::string& domain, const std::string& applicationFolder);
  static std::shared_ptr<Config> getConfigLocked(const std::string& domain, const std::string& applicationFolder);
  static std::string applicationFolder();

  std::optional<std::string> getProperty(const std::string& key) const;
  void setProperty(const std::string& key, const std::string& value);
  // Writes the list when missing, then measures it (see the class comment).
  OfflineFile getOfflineFilelistInfo(bool second);

  std::string domain_;
  std::string applicationFolder_;
  platform::Properties config_;
  std::optional<OfflineFile> filelistInfo_;
  std::optional<OfflineFile> filelistInfo2_;

  static inline std::mutex lock_;
  static inline std::unordered_map<std::string, std::shared_ptr<Config>> configs_;
};

}  // namespace quorvelauction::common
