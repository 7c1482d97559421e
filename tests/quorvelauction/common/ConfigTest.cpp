#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "ConfigTestSupport.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"

using quorvelauction::common::Config;
using quorvelauction::common::OfflineFile;
using quorvelauction::common::SiteConfig;
using testsupport::TempDir;

namespace {

int64_t crcOf(const std::string& bytes) {
  return static_cast<int64_t>(crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// Reads a list by the readers' rules: any line end, trimmed lines, fields
// split at "*", lines with fewer than three fields skipped, numbers strict.
std::map<std::string, std::pair<int32_t, int64_t>> readList(const std::string& text) {
  std::map<std::string, std::pair<int32_t, int64_t>> entries;
  std::string line;
  auto flush = [&] {
    std::string trimmed = platform::Strings::trim(line);
    line.clear();
    if (trimmed.empty()) return;
    std::vector<std::string> fields = platform::Strings::split(trimmed, "*");
    if (fields.size() < 3) return;
    entries[fields[0]] = {platform::Integers::parseInt(fields[1]), platform::Integers::parseLong(fields[2])};
  };
  for (char c : text) {
    if (c == '\n' || c == '\r') flush();
    else line += c;
  }
  flush();
  return entries;
}

class ConfigTest : public configtest::Installation {
 protected:
  std::string domainFile(const std::string& domain) { return app_ + "WEB-INF/" + domain + "/config/config.properties"; }
  std::string listFolder(const std::string& domain, bool second) {
    return app_ + "WEB-INF/" + domain + "/offline" + (second ? "2" : "") + "/";
  }
};

TEST_F(ConfigTest, LoadsOnceAndKeepsSettingsInMemory) {
  store(domainFile("auction_de"), "ebayApi.SiteId=77\ntimezone=Europe/Berlin\n");
  std::shared_ptr<Config> first = Config::getConfig("auction_de");
  int opened = factory_.opened;
  EXPECT_EQ(Config::getConfig("auction_de"), first);
  EXPECT_EQ(factory_.opened, opened) << "read once";
  EXPECT_EQ(Config::getProperty("auction_de", "timezone"), "Europe/Berlin");
  EXPECT_EQ(Config::getProperty("auction_de", "missing"), std::nullopt);
  EXPECT_EQ(Config::getSite("auction_de"), 77);

  std::string before = TempDir::read(domainFile("auction_de"));
  Config::setProperty("auction_de", "timezone", "UTC");
  EXPECT_EQ(Config::getProperty("auction_de", "timezone"), "UTC");
  EXPECT_EQ(TempDir::read(domainFile("auction_de")), before) << "never written back";

  store(domainFile("auction_de"), "timezone=Asia/Tokyo\n");
  EXPECT_EQ(Config::getProperty("auction_de", "timezone"), "UTC");
  Config::clear();
  EXPECT_EQ(Config::getProperty("auction_de", "timezone"), "Asia/Tokyo");
  EXPECT_EQ(out_.bytes(), "");
}

TEST_F(ConfigTest, ConcurrentFirstUseMakesOneObject) {
  store(domainFile("auction_at"), "ebayApi.SiteId=16\n");
  std::vector<std::shared_ptr<Config>> seen(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) threads.emplace_back([&seen, i] { seen[i] = Config::getConfig("auction_at"); });
  for (std::thread& t : threads) t.join();
  for (const auto& config : seen) EXPECT_EQ(config, seen[0]);
}

TEST_F(ConfigTest, MissingSettingsFailEveryTime) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_THROW(Config::getConfig("auction_xx"), platform::IOException);
    EXPECT_EQ(out_.bytes(), "can't read config.properties file\n");
    EXPECT_EQ(lines(err_.bytes()), 1) << err_.bytes();
    out_.reset();
    err_.reset();
  }
  EXPECT_THROW(Config::getSite("auction_xx"), platform::IOException);
}

TEST_F(ConfigTest, GetSiteParsesStrictly) {
  const std::pair<const char*, bool> cases[] = {
      {"ebayApi.SiteId=77\n", true}, {"ebayApi.SiteId=77 \n", false}, {"ebayApi.SiteId=+77\n", false},
      {"ebayApi.SiteId=x\n", false}, {"other=1\n", false},
  };
  int n = 0;
  for (auto [text, ok] : cases) {
    std::string domain = "d" + std::to_string(n++);
    store(domainFile(domain), text);
    if (ok) {
      EXPECT_EQ(Config::getSite(domain), 77) << text;
    } else {
      EXPECT_THROW(Config::getSite(domain), platform::NumberFormatException) << text;
      int opened = factory_.opened;
      Config::getConfig(domain);
      EXPECT_EQ(factory_.opened, opened) << "the domain stays cached: " << text;
    }
  }
}

TEST_F(ConfigTest, DomainNamesStayInsideTheApplicationFolder) {
  for (const char* domain : {"../outside", "a/b", "..", "", "a\\b"}) {
    EXPECT_THROW(Config::getConfig(domain), platform::IOException) << domain;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.file("htdocs/outside")));
}

TEST_F(ConfigTest, MissingUpdateFoldersGetEmptyLists) {
  store(domainFile("auction_de"), "");
  Config::getConfig("auction_de");
  for (bool second : {false, true}) {
    std::string list = listFolder("auction_de", second) + "filelist.txt";
    ASSERT_TRUE(std::filesystem::exists(list)) << list;
    EXPECT_EQ(std::filesystem::file_size(list), 0u);
    OfflineFile info = Config::getOfflineFilelistInfo(second, "auction_de");
    EXPECT_EQ(info.name, "filelist.txt");
    EXPECT_EQ(info.size, 0);
    EXPECT_EQ(info.checksum, 0);
  }
}

TEST_F(ConfigTest, WritesAndMeasuresScrambledListsOfTheDomain) {
  store(domainFile("auction_de"), "");
  std::string first = listFolder("auction_de", false);
  store(first + "a.txt", "abc");
  store(first + "sub/b.txt", "hello");
  store(first + "sub/filelist.txt", "old");
  store(first + "sub/dont_update.txt", "");
  store(first + "sub/FileList.txt", "x");
  store(listFolder("auction_de", true) + "dont_update.txt", "");

  Config::getConfig("auction_de");
  std::string listPath = first + "filelist.txt";
  std::string listText = plain(listPath);
  EXPECT_NE(TempDir::read(listPath), listText) << "the list is stored scrambled";
  auto entries = readList(listText);
  std::map<std::string, std::pair<int32_t, int64_t>> expected = {
      {"a.txt", {3, crcOf("abc")}}, {"sub/b.txt", {5, crcOf("hello")}}, {"sub/FileList.txt", {1, crcOf("x")}}};
  EXPECT_EQ(entries, expected);
  EXPECT_EQ(listText.back(), '\n');
  EXPECT_EQ(listText.find('\r'), std::string::npos);

  OfflineFile info = Config::getOfflineFilelistInfo(false, "auction_de");
  EXPECT_EQ(info.size, static_cast<int32_t>(listText.size()));
  EXPECT_EQ(info.checksum, crcOf(listText));
  // The marker: nothing written or read there.
  OfflineFile second = Config::getOfflineFilelistInfo(true, "auction_de");
  EXPECT_EQ(second.size, 0);
  EXPECT_EQ(second.checksum, 0);
  EXPECT_FALSE(std::filesystem::exists(listFolder("auction_de", true) + "filelist.txt"));
}

TEST_F(ConfigTest, ListIsRebuiltOnlyOnceDeleted) {
  store(domainFile("auction_de"), "");
  std::string folder = listFolder("auction_de", false);
  store(folder + "a.txt", "abc");
  OfflineFile before = Config::getOfflineFilelistInfo(false, "auction_de");
  EXPECT_GT(before.size, 0);

  store(folder + "filelist.txt", "changed by hand\n");
  OfflineFile held = Config::getOfflineFilelistInfo(false, "auction_de");
  EXPECT_EQ(held.size, before.size);
  EXPECT_EQ(held.checksum, before.checksum);

  store(folder + "b.txt", "more");
  std::filesystem::remove(folder + "filelist.txt");
  OfflineFile fresh = Config::getOfflineFilelistInfo(false, "auction_de");
  std::string listText = plain(folder + "filelist.txt");
  EXPECT_EQ(readList(listText).size(), 2u);
  EXPECT_EQ(fresh.size, static_cast<int32_t>(listText.size()));
  EXPECT_EQ(fresh.checksum, crcOf(listText));
}

TEST_F(ConfigTest, ExistingListIsMeasuredNotRewritten) {
  store(domainFile("auction_de"), "");
  std::string folder = listFolder("auction_de", true);
  store(folder + "filelist.txt", "x.txt*1*2\n");
  store(folder + "new.txt", "new");
  OfflineFile info = Config::getOfflineFilelistInfo(true, "auction_de");
  EXPECT_EQ(plain(folder + "filelist.txt"), "x.txt*1*2\n");
  EXPECT_EQ(info.size, 10);
  EXPECT_EQ(info.checksum, crcOf("x.txt*1*2\n"));
}

TEST_F(ConfigTest, SiteSettingsCarryTheirOwnId) {
  store(app_ + "WEB-INF/77/config/config.properties", "ebayApi.SiteId=5\nrootCategory=-1\n");
  EXPECT_EQ(SiteConfig::getProperty(77, "ebayApi.SiteId"), "77");
  EXPECT_EQ(SiteConfig::getProperty(77, "rootCategory"), "-1");
  EXPECT_EQ(SiteConfig::getConfig(77), SiteConfig::getConfig(77));
  SiteConfig::setProperty(77, "rootCategory", "3");
  EXPECT_EQ(SiteConfig::getProperty(77, "rootCategory"), "3");
  SiteConfig::clear();
  EXPECT_EQ(SiteConfig::getProperty(77, "rootCategory"), "-1");

  EXPECT_THROW(SiteConfig::getProperty(78, "rootCategory"), platform::IOException);
  EXPECT_EQ(out_.bytes(), "can't read config.properties file\n");
  EXPECT_EQ(lines(err_.bytes()), 1);
}

}  // namespace
