// The category caches of GlobalConfig: the site list and the reloads.

#include <exception>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::common {

namespace {

// Builds one site's cache into the table; a failure only prints its trace.
void loadSite(std::unordered_map<int32_t, std::shared_ptr<const EbayCache>>& table,
              int32_t siteId, const std::string& path) {
  platform::System::out().println("loading ebay-cache file for site " + std::to_string(siteId) +
                                  "...");
  table[siteId] = std::make_shared<const EbayCache>(siteId, path);
}

}  // namespace

std::vector<int32_t> GlobalConfig::getSites() {
  std::optional<std::string> domains = getProperty("domains");
  if (!domains) {
    throw platform::NullPointerException("global.properties has no \"domains\" setting");
  }
  std::vector<int32_t> sites;
  for (const std::string& piece : platform::Strings::split(*domains, ",")) {
    std::string domain = platform::Strings::trim(piece);
    if (domain.empty()) continue;
    int32_t siteId;
    try {
      siteId = Config::getSite(domain);
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
      continue;
    }
    bool known = false;
    for (int32_t site : sites) known = known || site == siteId;
    if (!known) sites.push_back(siteId);
  }
  return sites;
}

void GlobalConfig::reloadEbayCacheFiles() {
  std::lock_guard<std::mutex> guard(ebayCachesLock_);
  ebayCaches_ = {};
  const std::vector<int32_t> sites = getSites();
  const std::string path = getPath();
  for (int32_t siteId : sites) {
    try {
      loadSite(ebayCaches_, siteId, path);
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
    }
  }
}

void GlobalConfig::reloadEbayCacheFilesForOneDomain(const std::string& domain) {
  std::lock_guard<std::mutex> guard(ebayCachesLock_);
  ebayCaches_ = {};
  try {
    int32_t siteId = Config::getSite(domain);
    loadSite(ebayCaches_, siteId, getPath());
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
}

std::shared_ptr<const EbayCache> GlobalConfig::getEbayCache(int32_t siteId) {
  std::lock_guard<std::mutex> guard(ebayCachesLock_);
  auto found = ebayCaches_.find(siteId);
  return found == ebayCaches_.end() ? nullptr : found->second;
}

}  // namespace quorvelauction::common
