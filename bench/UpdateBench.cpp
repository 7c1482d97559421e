// The self-update against a loopback stand-in of the online service: 1,000 files of 4 KiB
// and 5 files of 16 MiB installed into an empty program folder, and the check of a run when
// nothing changed. Wall time; bytes are the files' plain bytes.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/UpdateHelper.h"
#include "quorvelauction/offline/UpdateServlet.h"
#include "support/CaptureOut.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::Server;
using quorvelauction::offline::UpdateHelper;
using quorvelauction::offline::UpdateServlet;

namespace {

class UpdateTree {
 public:
  UpdateTree(int files, size_t bytes) {
    GlobalConfig::setFileStreamFactoryHelper(&files_);
    app_.write("WEB-INF/global.properties", "defaultDomain=auction_de\n");
    GlobalConfig::load(app_.path(), app_.path());
    for (int i = 0; i < files; ++i)
      servlet_.put("lib/" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".bin",
                   std::string(bytes, static_cast<char>('a' + i % 26)));
    servlet_.publish();
  }
  void emptyProgram() {
    for (const auto& entry : std::filesystem::directory_iterator(program_.path()))
      std::filesystem::remove_all(entry);
  }
  void run() {
    Server::programPath = program_.path();
    UpdateHelper::doUpdate(program_.path(), service_.host(), "S1");
  }

 private:
  auctiontest::PlainFiles files_;
  testsupport::OnlineService service_;
  UpdateServlet servlet_{service_};
  testsupport::TempDir app_;
  testsupport::TempDir program_;
};

void fullUpdate(benchmark::State& state, int files, size_t bytes) {
  UpdateTree tree(files, bytes);
  testsupport::CaptureOut quiet;
  for (auto _ : state) {
    state.PauseTiming();
    tree.emptyProgram();
    state.ResumeTiming();
    tree.run();
  }
  state.SetBytesProcessed(state.iterations() * files * static_cast<int64_t>(bytes));
}

void BM_Update1000SmallFiles(benchmark::State& state) { fullUpdate(state, 1000, 4096); }
void BM_Update5LargeFiles(benchmark::State& state) { fullUpdate(state, 5, size_t{16} << 20); }

void BM_UpdateNothingChanged(benchmark::State& state) {
  UpdateTree tree(1000, 4096);
  testsupport::CaptureOut quiet;
  tree.run();
  for (auto _ : state) tree.run();
}

}  // namespace

BENCHMARK(BM_Update1000SmallFiles)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Update5LargeFiles)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateNothingChanged)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
