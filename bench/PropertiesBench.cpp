// Load and store of a properties file that holds one 1 MiB value (an XML
// text with the characters that need escapes), as the auction records are.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Properties.h"

namespace {

constexpr size_t kValueSize = 1 << 20;

platform::Properties record() {
  std::string xml = "<collector a=\"1\">\n";
  for (int i = 0; xml.size() < kValueSize; ++i) {
    xml += "<auction id=\"" + std::to_string(i) + "\">Gr\xC3\xB6\xC3\x9F" "e x=y:z #n !b \xE2\x82\xAC</auction>\n";
  }
  xml.resize(kValueSize);
  platform::Properties properties;
  properties.setProperty("id", "7");
  properties.setProperty("xmlContent", xml);
  properties.setProperty("state", "0");
  return properties;
}

std::string stored(const platform::Properties& properties) {
  platform::ByteArrayOutputStream out;
  properties.store(out, "");
  return out.take();
}

void BM_Store(benchmark::State& state) {
  const platform::Properties properties = record();
  for (auto _ : state) benchmark::DoNotOptimize(stored(properties));
  state.SetBytesProcessed(state.iterations() * kValueSize);
}

void BM_Load(benchmark::State& state) {
  const std::string bytes = stored(record());
  for (auto _ : state) {
    platform::Properties properties;
    platform::ByteArrayInputStream in(bytes);
    properties.load(in);
    benchmark::DoNotOptimize(properties.size());
  }
  state.SetBytesProcessed(state.iterations() * kValueSize);
}

void BM_LoadAndStore(benchmark::State& state) {
  const std::string bytes = stored(record());
  for (auto _ : state) {
    platform::Properties properties;
    platform::ByteArrayInputStream in(bytes);
    properties.load(in);
    benchmark::DoNotOptimize(stored(properties));
  }
  state.SetBytesProcessed(state.iterations() * kValueSize);
}

}  // namespace

BENCHMARK(BM_Store)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAndStore)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
