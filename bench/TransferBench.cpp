// Transfers through the servlet framing to the stand-in service on loopback:
// a 64 MiB upload and a 64 MiB video download (MB/s, and the process's peak
// resident size, which includes the stand-in's own copy of each body), and
// the time of one file-list query.

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/File.h"
#include "platform/ObjectOutputStream.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::OnlineCommunication;
using quorvelauction::offline::Server;
using testsupport::OnlineService;

namespace {

constexpr int64_t kFileBytes = int64_t{64} << 20;

double peakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string replyOf(const std::function<void(platform::ObjectOutputStream&)>& fields) {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  fields(out);
  out.flush();
  return sink.take();
}

struct Setup {
  Setup() {
    GlobalConfig::setFileStreamFactoryHelper(&files);
    dir.write("WEB-INF/global.properties", "defaultDomain=auction_de\n");
    GlobalConfig::load(dir.path(), dir.path());
  }
  ~Setup() { GlobalConfig::setFileStreamFactoryHelper(nullptr); }
  testsupport::TempDir dir;
  Server::CryptedStreams files;
};

void BM_Upload64MiB(benchmark::State& state) {
  Setup setup;
  std::string path = setup.dir.write("video.swf", std::string(kFileBytes, 'v'));
  setup.dir.write("video.jpg", "");
  OnlineService service;
  std::string answer = replyOf([](auto& out) { out.writeUTF("17"); });
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = answer;
    return reply;
  });
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        OnlineCommunication::uploadVideoAndImage(service.host(), setup.dir.file("video"), "S", 1, "1.jpg"));
    state.PauseTiming();
    service.clearRecords();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
  state.counters["peak_MiB"] = peakMiB();
}

void BM_Download64MiB(benchmark::State& state) {
  Setup setup;
  std::string body = replyOf([](auto& out) {
    out.writeInt(1);
    out.writeUTF(".swf");
    out.writeInt(static_cast<int32_t>(kFileBytes));
    std::string chunk(1 << 20, 'd');
    for (int64_t i = 0; i < kFileBytes; i += chunk.size()) out.write(chunk);
    out.writeUTF("ok");
  });
  OnlineService service;
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = body;
    return reply;
  });
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        OnlineCommunication::downloadVideo(setup.dir.path(), service.host(), "S", "d", 7));
    state.PauseTiming();
    service.clearRecords();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
  state.counters["peak_MiB"] = peakMiB();
}

void BM_FileListQuery(benchmark::State& state) {
  Setup setup;
  std::string body = replyOf([](auto& out) {
    out.writeUTF("ok");
    out.writeUTF("filelist.txt");
    out.writeInt(1234);
    out.writeInt(0);
    out.writeInt(-1);
  });
  OnlineService service;
  service.setHttpHandler([&](const OnlineService::HttpRequest&) {
    OnlineService::HttpReply reply;
    reply.body = body;
    return reply;
  });
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        OnlineCommunication::getOfflineFilelistInfo("getOfflineFilelistInfo", service.host(), "S"));
  }
}

}  // namespace

BENCHMARK(BM_Upload64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Download64MiB)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FileListQuery)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
