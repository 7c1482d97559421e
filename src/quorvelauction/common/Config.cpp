#include "quorvelauction/common/Config.h"

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::common {

namespace {

// A domain names a folder below "WEB-INF/": it must stay one plain name, so
// that no list is ever written outside the application folder.
void checkDomain(const std::string& domain) {
  if (domain.empty() || domain == "." || domain == ".." || domain.find('/') != std::string::npos ||
      domain.find('\\') != std::string::npos || domain.find('\0') != std::string::npos)
    throw platform::IOException("not a domain name: \"" + domain + "\"");
}

}  // namespace

std::string Config::applicationFolder() { return GlobalConfig::getPath(); }

Config::Config(const std::string& domain) : Config(domain, applicationFolder()) {}

Config::Config(const std::string& domain, const std::string& applicationFolder)
    : domain_(domain), applicationFolder_(applicationFolder) {
  checkDomain(domain);
  platform::InputStreamPtr in =
      GlobalConfig::createFileInputStream(applicationFolder_ + "WEB-INF/" + domain + "/config/config.properties");
  config_.load(*in);
  in->close();
  getOfflineFilelistInfo(false);
  getOfflineFilelistInfo(true);
}

std::shared_ptr<Config> Config::getConfigLocked(const std::string& domain, const std::string& applicationFolder) {
  auto it = configs_.find(domain);
  if (it != configs_.end()) return it->second;
  std::shared_ptr<Config> config;
  try {
    config.reset(new Config(domain, applicationFolder));
  } catch (const platform::IOException& e) {
    platform::System::out().println("can't read config.properties file");
    platform::printStackTrace(e);
    throw;
  }
  configs_[domain] = config;
  return config;
}

std::shared_ptr<Config> Config::getConfig(const std::string& domain) {
  std::string folder = applicationFolder();
  std::lock_guard<std::mutex> guard(lock_);
  return getConfigLocked(domain, folder);
}

std::optional<std::string> Config::getProperty(const std::string& domain, const std::string& key) {
  std::string folder = applicationFolder();
  std::lock_guard<std::mutex> guard(lock_);
  return getConfigLocked(domain, folder)->getProperty(key);
}

void Config::setProperty(const std::string& domain, const std::string& key, const std::string& value) {
  std::string folder = applicationFolder();
  std::lock_guard<std::mutex> guard(lock_);
  getConfigLocked(domain, folder)->setProperty(key, value);
}

int32_t Config::getSite(const std::string& domain) {
  std::optional<std::string> site = getProperty(domain, "ebayApi.SiteId");
  if (!site) throw platform::NumberFormatException("null");
  return platform::Integers::parseSignedDigits(*site);
}

OfflineFile Config::getOfflineFilelistInfo(bool second, const std::string& domain) {
  std::string folder = applicationFolder();
  std::lock_guard<std::mutex> guard(lock_);
  return getConfigLocked(domain, folder)->getOfflineFilelistInfo(second);
}

void Config::clear() {
  std::lock_guard<std::mutex> guard(lock_);
  configs_.clear();
}

std::optional<std::string> Config::getProperty(const std::string& key) const { return config_.getProperty(key); }

void Config::setProperty(const std::string& key, const std::string& value) { config_.setProperty(key, value); }

OfflineFile Config::getOfflineFilelistInfo(bool second) {
  std::string folder = applicationFolder_ + "WEB-INF/" + domain_ + "/offline" + (second ? "2" : "") + "/";
  std::optional<OfflineFile>& held = second ? filelistInfo2_ : filelistInfo_;
  if (platform::File(folder + "dont_update.txt").exists()) return OfflineFile("filelist.txt", 0, 0);
  platform::File list(folder + "filelist.txt");
  if (!list.exists()) {
    OfflineFile::createFilelist(folder);
  } else if (held) {
    return *held;
  }
  held = OfflineFile("filelist.txt", static_cast<int32_t>(list.length()), OfflineFile::checksumOf(list));
  return *held;
}

}  // namespace quorvelauction::common
