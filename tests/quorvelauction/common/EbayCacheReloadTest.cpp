#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/SiteConfig.h"
#include "quorvelauction/common/fixtures/ebaycache/TestSite.h"

namespace quorvelauction::common {
namespace {

// Domains: "de" and "at" on site 77, "ch" on site 16, "fr" on site 71 (no
// cache files), "xx" without settings, "bad" with a site id that is no
// number.
class EbayCacheReloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.install();
    Config::clear();
    site_.addSite(16);
    domain("de", "ebayApi.SiteId=77\n");
    domain("at", "ebayApi.SiteId=77\n");
    domain("ch", "ebayApi.SiteId=16\n");
    domain("fr", "ebayApi.SiteId=71\n");
    site_.writeFile("WEB-INF/71/config/config.properties", "\n");
    domain("bad", "ebayApi.SiteId=77 \n");
    setDomains(" de , xx,,bad,fr ,at,ch,\n");
  }

  void domain(const std::string& name, const std::string& settings) {
    site_.writeFile("WEB-INF/" + name + "/config/config.properties", settings);
  }
  void setDomains(const std::string& value) {
    site_.writeFile("WEB-INF/global.properties", "domains=" + value);
    GlobalConfig::load(site_.folder(), site_.folder());
  }

  ebaycache::TestSite site_;
};

TEST_F(EbayCacheReloadTest, SitesOfTheListedDomainsEachOnceInOrder) {
  EXPECT_EQ(GlobalConfig::getSites(), (std::vector<int32_t>{77, 71, 16}));
  EXPECT_NE(site_.out().find("can't read config.properties file"), std::string::npos);
  EXPECT_NE(site_.err().find("NumberFormatException"), std::string::npos) << site_.err();

  site_.writeFile("WEB-INF/global.properties", "server.host=example\n");
  GlobalConfig::load(site_.folder(), site_.folder());
  EXPECT_THROW(GlobalConfig::getSites(), platform::Exception);
}

TEST_F(EbayCacheReloadTest, ReloadBuildsEverySiteThatCanBeBuilt) {
  GlobalConfig::reloadEbayCacheFiles();
  std::shared_ptr<const EbayCache> de = GlobalConfig::getEbayCache(77);
  ASSERT_TRUE(de);
  EXPECT_EQ(de->categories.size(), 5u);
  EXPECT_TRUE(GlobalConfig::getEbayCache(16));
  EXPECT_FALSE(GlobalConfig::getEbayCache(71));
  EXPECT_FALSE(GlobalConfig::getEbayCache(3));
  for (const char* line : {"loading ebay-cache file for site 77...\n",
                           "loading ebay-cache file for site 71...\n",
                           "loading ebay-cache file for site 16...\n"}) {
    EXPECT_NE(site_.out().find(line), std::string::npos) << line;
  }
  EXPECT_NE(site_.err().find("FileNotFoundException"), std::string::npos) << site_.err();

  // A reload that fails for want of "domains" leaves the table empty.
  site_.writeFile("WEB-INF/global.properties", "\n");
  GlobalConfig::load(site_.folder(), site_.folder());
  EXPECT_THROW(GlobalConfig::reloadEbayCacheFiles(), platform::Exception);
  EXPECT_FALSE(GlobalConfig::getEbayCache(77));
  EXPECT_EQ(de->categories.size(), 5u);  // a holder keeps its cache
}

TEST_F(EbayCacheReloadTest, ReloadForOneDomainKeepsOnlyThatSite) {
  GlobalConfig::reloadEbayCacheFiles();
  GlobalConfig::reloadEbayCacheFilesForOneDomain("ch");
  EXPECT_TRUE(GlobalConfig::getEbayCache(16));
  EXPECT_FALSE(GlobalConfig::getEbayCache(77));

  for (const char* domain : {"xx", "bad", "fr"}) {
    GlobalConfig::reloadEbayCacheFilesForOneDomain("ch");
    EXPECT_NO_THROW(GlobalConfig::reloadEbayCacheFilesForOneDomain(domain)) << domain;
    EXPECT_FALSE(GlobalConfig::getEbayCache(16)) << domain;
    EXPECT_FALSE(GlobalConfig::getEbayCache(71)) << domain;
  }
}

// Reloads read domain settings that were never loaded, while other threads
// load settings and ask for caches: every lock order that can arise here
// must finish.
TEST_F(EbayCacheReloadTest, ReloadsBesideFirstLoadsOfSettingsFinish) {
  std::atomic<bool> failed{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failed] {
      try {
        for (int round = 0; round < 10; ++round) {
          switch ((t + round) % 4) {
            case 0:
              Config::clear();
              GlobalConfig::reloadEbayCacheFilesForOneDomain(round % 2 ? "de" : "ch");
              break;
            case 1:
              SiteConfig::clear();
              GlobalConfig::reloadEbayCacheFiles();
              break;
            case 2:
              Config::clear();
              Config::getSite("at");
              SiteConfig::getProperty(16, "rootCategory");
              break;
            default:
              if (auto cache = GlobalConfig::getEbayCache(77)) cache->getMainCategory(111);
              GlobalConfig::getPath();
          }
        }
      } catch (const std::exception&) {
        failed = true;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_FALSE(failed);
}

}  // namespace
}  // namespace quorvelauction::common
