// Builds the category cache of a generated site: 30,000 categories on four
// levels, 2,000 characteristics sets, a features file and a shipping file.

#include <benchmark/benchmark.h>

#include <cctype>
#include <memory>
#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/fixtures/ebaycache/TestSite.h"

namespace {

using quorvelauction::common::EbayCache;

constexpr int kCategories = 30000;
constexpr int kSets = 2000;
constexpr int kSiteId = 77;

std::string percentEncode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '*') {
      out.push_back(static_cast<char>(c));
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(hex[c >> 4]);
      out.push_back(hex[c & 15]);
    }
  }
  return out;
}

// Level sizes 25, 500, 5,000 and the rest: category i's parent is a category
// of the level above, so the tree is about four deep.
int parentOf(int index) {
  if (index < 25) return -1;
  if (index < 525) return (index - 25) % 25;
  if (index < 5525) return 25 + (index - 525) % 500;
  return 525 + (index - 5525) % 5000;
}

int idOf(int index) { return 10000 + index * 7; }

void generateSite(ebaycache::TestSite& site) {
  std::string categories = "3\n1\n0\n1.00\n\n";
  for (int i = 0; i < kCategories; ++i) {
    int parent = parentOf(i);
    int id = idOf(i);
    categories += std::to_string(id) + "\t" + std::to_string(parent < 0 ? id : idOf(parent)) +
                  "\t" + (i % 3 == 0 ? "1" : "0") + "\tCategory " + std::to_string(i) +
                  " & M\xC3\xB6" "bel\t" + (i % 97 == 0 ? "1" : "0") + "\t" +
                  (i % 89 == 0 ? "1" : "0") + "\n";
  }
  site.write("ebay-cache/categories.txt", categories);

  std::string exclude;
  for (int i = 0; i < 100; ++i) exclude += std::to_string(idOf(5525 + i * 13)) + " excluded\n";
  site.write("config/category-exclude.txt", exclude);

  std::string mapping = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GetCategory2CSResponse>"
                        "<SiteWideCharacteristicSets>"
                        "<CharacteristicsSet><AttributeSetID>1950</AttributeSetID></CharacteristicsSet>"
                        "<CharacteristicsSet><AttributeSetID>2136</AttributeSetID>";
  for (int i = 0; i < 300; ++i) mapping += "<ExcludeCategoryID>" + std::to_string(idOf(i * 31)) + "</ExcludeCategoryID>";
  mapping += "</CharacteristicsSet>";
  for (int i = 0; i < 300; ++i) mapping += "<ExcludeCategoryID>" + std::to_string(idOf(i * 37)) + "</ExcludeCategoryID>";
  mapping += "</SiteWideCharacteristicSets><MappedCategoryArray>";
  for (int i = 525; i < kCategories; ++i) {
    mapping += "\n<Category><CategoryID>" + std::to_string(idOf(i)) +
               "</CategoryID><CharacteristicsSets><Name>Set</Name><AttributeSetID>" +
               std::to_string(1 + i % kSets) + "</AttributeSetID></CharacteristicsSets></Category>";
  }
  mapping += "</MappedCategoryArray></GetCategory2CSResponse>\n";
  site.write("ebay-cache/getcategory2cs.xml", mapping);

  std::string attributes;
  for (int set = 1; set <= kSets; ++set) {
    std::string xml = "<CharacteristicsSet id=\"" + std::to_string(set) + "\" name=\"Set " +
                      std::to_string(set) + "\">";
    for (int a = 0; a < 4; ++a) {
      xml += "<Attribute id=\"" + std::to_string(set * 10 + a) + "\" name=\"Zustand " +
             std::to_string(a) + "\">";
      for (int v = 0; v < 5; ++v) xml += "<Value id=\"" + std::to_string(v) + "\" name=\"Wert " + std::to_string(v) + "\"/>";
      xml += "</Attribute>";
    }
    xml += "</CharacteristicsSet>";
    attributes += std::to_string(set) + "\t" + percentEncode(xml) + "\n";
  }
  site.write("ebay-cache/attributes.txt", attributes);

  std::string features = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GetCategoryFeaturesResponse>";
  for (int i = 0; i < kCategories; i += 6) {
    features += "\n<Category><CategoryID>" + std::to_string(idOf(i)) + "</CategoryID>";
    if (i % 60 == 0 && i >= 525) features += "<MinimumReservePrice>" + std::to_string(i % 50) + ".00</MinimumReservePrice>";
    features += "<LotSizeEnabled>true</LotSizeEnabled></Category>";
  }
  features += "</GetCategoryFeaturesResponse>\n";
  site.write("ebay-cache/GetCategoryFeatures.xml", features);

  std::string shipping = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<GeteBayDetailsResponse>";
  for (int i = 0; i < 60; ++i) {
    int id = i < 30 ? i + 1 : 50000 + i;
    shipping += "<ShippingServiceDetails><ShippingService>Service" + std::to_string(i) +
                "</ShippingService><ShippingServiceID>" + std::to_string(id) +
                "</ShippingServiceID></ShippingServiceDetails>";
  }
  shipping += "</GeteBayDetailsResponse>\n";
  site.write("ebay-cache/ShippingServiceDetails.xml", shipping);
}

void BM_BuildEbayCache(benchmark::State& state) {
  ebaycache::TestSite site;
  site.install();
  generateSite(site);
  size_t loaded = 0;
  for (auto _ : state) {
    site.clearOutput();
    auto cache = site.build();
    loaded = cache->categories.size();
    benchmark::DoNotOptimize(cache.get());
  }
  state.counters["categories"] = static_cast<double>(loaded);
}
BENCHMARK(BM_BuildEbayCache)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
