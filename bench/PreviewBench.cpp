// One "auctionPreview" of the demo auction on the demo installation, run by
// the command handler in this process. The companion program is left out:
// the picture work goes to a helper that does nothing, and the browser start
// names a program that does not exist (its failed start is still counted).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/ImageHelper.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "support/TempDir.h"
#include "vtl/Velocity.h"

namespace {

namespace fs = std::filesystem;
using quorvelauction::common::Auction;
using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::Server;

class Discard : public platform::OutputStream {
 public:
  using platform::OutputStream::write;
  void write(const char*, int, int) override {}
};

class NoPictureWork : public quorvelauction::common::ImageHelper {
 public:
  void scaleImage(const std::string&, const std::string&, int32_t, int32_t, int32_t, bool, float) override {}
  void scaleImage(const std::string&, const std::string&, int32_t, int32_t, int32_t, bool) override {}
  void overlayImage(const std::string&, const std::string&, float) override {}
  void overlayImage(const std::string&, const std::string&) override {}
  std::pair<int32_t, int32_t> getSize(const std::string&) override { return {400, 300}; }
};

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The demo installation, scrambled as the run script lays it out, with a
// user folder holding the demo auction's pictures.
std::string layOut(const testsupport::TempDir& dir) {
  const std::string inst = dir.path() + "inst/";
  Server::programPath = inst;
  const fs::path demo = fs::path(QA_SOURCE_DIR) / "demo";
  for (const auto& entry : fs::recursive_directory_iterator(demo)) {
    if (!entry.is_regular_file()) continue;
    const std::string target = inst + fs::relative(entry.path(), demo).string();
    fs::create_directories(fs::path(target).parent_path());
    quorvelauction::offline::CryptedFileOutputStream out(target);
    out.write(slurp(entry.path().string()));
    out.close();
  }
  for (int id : {1, 2, 3})
    dir.write("user/" + Auction::getSplittedPath(id, "images") + "/" + std::to_string(id) + "v.jpg",
              std::string(2000, 'x'));
  return inst;
}

void BM_AuctionPreview(benchmark::State& state) {
  static testsupport::TempDir dir;  // removed when the program ends
  static NoPictureWork pictures;
  static Server::CryptedStreams streams;
  const std::string inst = layOut(dir);
  Server::userPath = dir.path() + "user/";
  Server::rootPath = inst + "htdocs/";
  Server::programName = "no_such_companion";
  GlobalConfig::setFileStreamFactoryHelper(&streams);
  GlobalConfig::load(inst + "htdocs/app/", Server::userPath);
  GlobalConfig::setImageHelper(&pictures);
  quorvelauction::offline::CryptedResourceLoader::registerClass();
  vtl::Velocity::setProperty("resource.loader", "cryptedfile");
  vtl::Velocity::setProperty("cryptedfile.resource.loader.class",
                             quorvelauction::offline::CryptedResourceLoader::kClassName);
  vtl::Velocity::setProperty("cryptedfile.resource.loader.cache", "false");
  vtl::Velocity::init();
  // The handler's diagnostics would drown the figures.
  platform::System::setOut(std::make_shared<platform::PrintStream>(std::make_unique<Discard>(), false));
  platform::System::setErr(std::make_shared<platform::PrintStream>(std::make_unique<Discard>(), false));

  Server server;
  Server::Handler handler(server, nullptr);
  platform::Properties props;
  props.setProperty("xmlContent", slurp(std::string(QA_SOURCE_DIR) + "/demo/auctions/lamp.xml"));
  for (auto _ : state) {
    std::string result = handler.onAuctionPreview(props);
    if (result != "/preview/preview-offline.html#quorvel") state.SkipWithError(result.c_str());
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_AuctionPreview)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
