// The category cache of one site built from its six cache files: the input
// holds their contents one after another, parted by 0x1E bytes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "FuzzTarget.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"

namespace {

constexpr int32_t kSite = 77;
const char* const kFiles[] = {
    "config/category-exclude.txt",       "ebay-cache/categories.txt",
    "ebay-cache/getcategory2cs.xml",     "ebay-cache/attributes.txt",
    "ebay-cache/GetCategoryFeatures.xml", "ebay-cache/ShippingServiceDetails.xml",
};

void writeFile(const std::string& path, std::string_view content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(content.data(), content.size());
}

// One application folder for the whole run, outside any scrambled folder.
const std::string& folder() {
  static const std::string path = [] {
    // Static, so the removal at exit does not depend on the order of destruction.
    static char name[] = "/tmp/category-cache-fuzz-XXXXXX";
    std::string made = std::string(mkdtemp(name)) + "/";
    std::atexit([] { std::filesystem::remove_all(name); });
    platform::File(made + "WEB-INF/77/config").mkdirs();
    platform::File(made + "WEB-INF/77/ebay-cache").mkdirs();
    writeFile(made + "WEB-INF/global.properties", "");
    static quorvelauction::offline::Server::CryptedStreams factory;
    quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&factory);
    quorvelauction::common::GlobalConfig::load(made, made);
    return made;
  }();
  return path;
}

// Progress and failure lines of the cache go here, emptied at every input.
platform::ByteArrayOutputStream& quietOutput() {
  static platform::ByteArrayOutputStream* sink = [] {
    auto out = std::make_unique<platform::ByteArrayOutputStream>();
    platform::ByteArrayOutputStream* kept = out.get();
    auto stream = std::make_shared<platform::PrintStream>(std::move(out), true);
    platform::System::setOut(stream);
    platform::System::setErr(stream);
    return kept;
  }();
  return *sink;
}

}  // namespace

QA_FUZZ_TARGET(CategoryCacheFuzz) {
  const std::string& app = folder();
  quietOutput().reset();
  size_t start = 0;
  for (const char* name : kFiles) {
    size_t end = std::min(input.find('\x1e', start), input.size());
    writeFile(app + "WEB-INF/77/" + name, start <= input.size() ? input.substr(start, end - start) : "");
    start = end + 1;
  }
  try {
    quorvelauction::common::EbayCache cache(kSite, app);
    for (const auto& entry : cache.categories) {
      cache.getMainCategory(entry.first);
      cache.getSubCategory(entry.first);
    }
  } catch (const platform::Exception&) {  // XML errors included
  }
}
