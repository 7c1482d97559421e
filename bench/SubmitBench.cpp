// Submission of 20 auctions with 5 pictures each (every variant present, no
// sound) to the stand-in service on loopback: the wall time of one
// submission, and how much of it is the fixed pause the transfer client
// makes after every first picture upload before it reads the answer.

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/File.h"
#include "platform/FileOutputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/Properties.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "support/ObjectBytes.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

namespace {

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::Server;
using testsupport::OnlineService;
using testsupport::utfReply;

constexpr int kAuctions = 20;
constexpr int kPictures = 5;
// The transfer client's wait between sending a first upload and reading its answer.
constexpr double kPauseSeconds = 0.1;

std::string auctionXml(int first) {
  std::string pictures;
  for (int i = 0; i < kPictures; ++i)
    pictures += "<picture id=\"" + std::to_string(first + i) + "\" order=\"" + std::to_string(i + 1) + "\"/>";
  return "<data><auction><item><faPictures>" + pictures +
         "</faPictures><faHtmlVariation><data flashVars=\"pic1=" + std::to_string(first) +
         "\"/></faHtmlVariation></item></auction></data>";
}

void BM_Submit20x5(benchmark::State& state) {
  static Server::CryptedStreams files;
  testsupport::TempDir dir;
  GlobalConfig::setFileStreamFactoryHelper(&files);
  dir.write("WEB-INF/global.properties", "defaultDomain=auction_de\n");
  GlobalConfig::load(dir.path(), dir.path());
  Server::userPath = dir.path();
  Server::programPath = dir.path();
  platform::File(dir.path() + "WEB-INF/user/auction").mkdirs();
  for (int id = 1; id <= kAuctions * kPictures; ++id) {
    const std::string base = "images/" + std::to_string(id);
    dir.write(base + ".jpg", std::string(60 * 1024, 'p'));
    for (const char* suffix : {"v.jpg", "e.jpg", "t.jpg"}) dir.write(base + suffix, std::string(20 * 1024, 'v'));
  }

  OnlineService service;
  service.answer("auctionCreateWithPictures", OnlineService::SoapAnswer::value("17"));
  service.answer("auctionSave", OnlineService::SoapAnswer::value("ok"));
  service.answer("auctionSubmitList", OnlineService::SoapAnswer::value("ok"));
  const std::string number = utfReply("17");
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = number;
    return reply;
  });
  Server::trustAll();
  Server::host.set(service.host());
  Server::serverSessionId.set("S1");

  // The command's console lines would drown the figures.
  // Leaked on purpose: a replaced stream stays reachable.
  auto* sink = new platform::ByteArrayOutputStream();
  platform::System::setOut(std::make_shared<platform::PrintStream>(*sink, true));
  Server server;
  Server::Handler handler(server, nullptr);
  std::string ids;
  for (int a = 0; a < kAuctions; ++a) {
    platform::Properties save;
    save.setProperty("auctionIdString", std::to_string(a + 1));
    save.setProperty("xmlContent", auctionXml(a * kPictures + 1));
    handler.onAuctionSave(save);
    ids += (ids.empty() ? "" : ":") + std::to_string(a + 1);
  }

  double seconds = 0;
  int64_t firstUploads = 0;
  for (auto _ : state) {
    platform::Properties props;
    props.setProperty("auctionIds", ids);
    props.setProperty("currency", "EUR");
    props.setProperty("trevanulosixFees", "0");
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = handler.onAuctionSubmitList(props, Server::SUBMIT);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (answer != "ok") state.SkipWithError(("submission answered " + answer).c_str());
    firstUploads += kAuctions * kPictures;
    sink->reset();
    state.PauseTiming();
    service.clearRecords();
    state.ResumeTiming();
  }
  platform::System::setOut(std::make_shared<platform::PrintStream>(
      platform::FileOutputStream::forDescriptor(1), true));
  GlobalConfig::setFileStreamFactoryHelper(nullptr);
  Server::serverSessionId.set("");
  const double pauses = static_cast<double>(firstUploads) * kPauseSeconds;
  state.counters["wall_s"] = seconds / static_cast<double>(state.iterations());
  state.counters["fixed_pause_s"] = pauses / static_cast<double>(state.iterations());
  state.counters["pause_share"] = seconds > 0 ? pauses / seconds : 0;
}
BENCHMARK(BM_Submit20x5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
