// Parse and compact-write throughput for the 10 MB auction-like document of
// the shared benchmark script, generated into a temporary folder at start.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "support/TempDir.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

namespace {

const std::string& auctionXml() {
  static const std::string text = [] {
    static testsupport::TempDir dir;
    std::string path = dir.file("auction.xml");
    std::string command = std::string("python3 '") + QA_SHARED_BENCH_DIR + "/make_auction_xml.py' '" + path + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot run " + command);
    return testsupport::TempDir::read(path);
  }();
  return text;
}

void BM_Parse(benchmark::State& state) {
  const std::string& text = auctionXml();
  for (auto _ : state) {
    xml::Document doc = xml::SAXReader().read(text);
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * text.size());
}

void BM_CompactWrite(benchmark::State& state) {
  xml::Document doc = xml::SAXReader().read(auctionXml());
  xml::Element root = doc.getRootElement();
  xml::XMLWriter writer(xml::OutputFormat::createCompactFormat());
  size_t size = 0;
  for (auto _ : state) {
    std::string out;
    writer.write(root, out);
    size = out.size();
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
}

BENCHMARK(BM_Parse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactWrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
