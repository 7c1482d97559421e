// The auction list over 1,000 local records of about 20 KB of auction XML
// each: the first list of a process (every record file read, unscrambled and
// parsed) and a repeated list (records already held in memory; the XML is
// parsed again and each record file's date read again).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/File.h"
#include "platform/Properties.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "support/TempDir.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::OfflineAuction;
using quorvelauction::offline::Server;

namespace {

constexpr int kRecords = 1000;
constexpr size_t kXmlBytes = 20 * 1024;

std::string auctionXml(int i) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<collector version=\"3\"><auction><item>";
  xml += "<Title><data text=\"Artikel " + std::to_string(i) + " mit &amp; Umlaut \xC3\xA4\xC3\xB6\xC3\xBC \xE2\x82\xAC\"/></Title>";
  xml += "<MinimumBid><data value=\"" + std::to_string(i % 100) + ",50\"/></MinimumBid>";
  xml += "<Category><data value=\"" + std::to_string(3000 + i % 500) + "\"/></Category>";
  xml += "<Type><data value=\"" + std::to_string(i % 3) + "\"/></Type>";
  xml += "<Gallery><data selected=\"false\"/></Gallery><GalleryFeatured><data selected=\"false\"/></GalleryFeatured>";
  xml += "<faPictures>";
  for (int p = 1; p <= 12; ++p)
    xml += "<picture order=\"" + std::to_string(p) + "\" id=\"" + std::to_string(i * 20 + p) +
           "\" rotate=\"0\" type=\"Standard\"/>";
  xml += "</faPictures><faPresets><templatePath value=\"http://localhost:17985/flash/templates/\"/></faPresets>";
  std::string description = "<Description><data text=\"";
  while (xml.size() + description.size() < kXmlBytes - 200)
    description += "%3Cp%3EBeschreibung+mit+einem+l%C3%A4ngeren+Text%3C%2Fp%3E+";
  xml += description + "\"/></Description></item></auction></collector>";
  return xml;
}

// An installation in the standard layout: the user folder is the
// application folder, so the record files are stored scrambled.
class Installation {
 public:
  Installation() {
    std::string app = dir_.path() + "htdocs/app/";
    dir_.write("htdocs/app/WEB-INF/global.properties", "");
    platform::File(app + "WEB-INF/user/auction").mkdirs();
    Server::programPath = dir_.path();
    GlobalConfig::setFileStreamFactoryHelper(&streams_);
    GlobalConfig::load(app, app);
    for (int i = 1; i <= kRecords; ++i) OfflineAuction(i, auctionXml(i)).save();
  }

 private:
  testsupport::TempDir dir_;
  Server::CryptedStreams streams_;
};

Installation& installation() {
  static Installation shared;  // removed with its records when the program ends
  return shared;
}

platform::Properties listRequest() {
  platform::Properties props;
  props.setProperty("limit", "-1");
  props.setProperty("sortBy", "title");
  props.setProperty("sortDirection", "ascending");
  return props;
}

void BM_AuctionNewListFirst(benchmark::State& state) {
  installation();
  platform::Properties props = listRequest();
  for (auto _ : state) {
    state.PauseTiming();
    auto server = std::make_unique<Server>();
    Server::Handler handler(*server, nullptr);
    state.ResumeTiming();
    benchmark::DoNotOptimize(handler.auctionList(props, 0));
    state.PauseTiming();
    server.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_AuctionNewListRepeated(benchmark::State& state) {
  installation();
  platform::Properties props = listRequest();
  Server server;
  Server::Handler handler(server, nullptr);
  handler.auctionList(props, 0);
  for (auto _ : state) benchmark::DoNotOptimize(handler.auctionList(props, 0));
  state.SetItemsProcessed(state.iterations() * kRecords);
}

}  // namespace

BENCHMARK(BM_AuctionNewListFirst)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AuctionNewListRepeated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
