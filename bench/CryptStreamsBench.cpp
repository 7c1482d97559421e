// Throughput of the scrambling file streams over a 64 MiB file below
// htdocs/app/WEB-INF (a scrambled path), with a buffered stream or a
// buffered text reader over them, as callers use them. The plain variants
// (a path below htdocs/app/images) show what the file system alone costs.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/BufferedInputStream.h"
#include "platform/BufferedOutputStream.h"
#include "platform/BufferedReader.h"
#include "platform/InputStreamReader.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "support/TempDir.h"

namespace {

using quorvelauction::offline::CryptedFileInputStream;
using quorvelauction::offline::CryptedFileOutputStream;

constexpr int64_t kFileSize = 64 << 20;
constexpr int kChunk = 4096;

// Removed with its 64 MiB files when the program ends.
testsupport::TempDir& dir() {
  static testsupport::TempDir instance;
  static const bool made = [] {
    std::filesystem::create_directories(instance.file("htdocs/app/WEB-INF"));
    std::filesystem::create_directories(instance.file("htdocs/app/images"));
    return true;
  }();
  (void)made;
  return instance;
}

std::string pathFor(bool scrambled) {
  return dir().file(scrambled ? "htdocs/app/WEB-INF/big.bin" : "htdocs/app/images/big.bin");
}

// Text-like content: lines of 80 characters.
std::string chunkOfLines() {
  std::string chunk;
  for (int i = 0; static_cast<int>(chunk.size()) < kChunk; ++i) {
    chunk += "<item id=\"" + std::to_string(i) + "\">some listing text of the line</item>";
    chunk.resize(((chunk.size() + 79) / 80) * 80 - 1, ' ');
    chunk.push_back('\n');
  }
  chunk.resize(kChunk);
  chunk.back() = '\n';
  return chunk;
}

void writeFile(bool scrambled) {
  const std::string chunk = chunkOfLines();
  platform::BufferedOutputStream out(std::make_unique<CryptedFileOutputStream>(pathFor(scrambled)), 8192);
  for (int64_t done = 0; done < kFileSize; done += kChunk) out.write(chunk.data(), 0, kChunk);
  out.close();
}

void BM_Write(benchmark::State& state) {
  bool scrambled = state.range(0) != 0;
  for (auto _ : state) {
    // Dropping the last round's file is the file system's work, not the stream's.
    state.PauseTiming();
    std::filesystem::remove(pathFor(scrambled));
    state.ResumeTiming();
    writeFile(scrambled);
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_Read(benchmark::State& state) {
  bool scrambled = state.range(0) != 0;
  writeFile(scrambled);
  std::string buffer(kChunk, '\0');
  for (auto _ : state) {
    platform::BufferedInputStream in(std::make_unique<CryptedFileInputStream>(pathFor(scrambled)), 8192);
    int64_t total = 0;
    int n;
    while ((n = in.read(buffer.data(), 0, kChunk)) > 0) total += n;
    benchmark::DoNotOptimize(total);
    in.close();
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

void BM_ReadLines(benchmark::State& state) {
  bool scrambled = state.range(0) != 0;
  writeFile(scrambled);
  for (auto _ : state) {
    platform::BufferedReader reader(std::make_unique<platform::InputStreamReader>(
        std::make_unique<CryptedFileInputStream>(pathFor(scrambled)), "utf-8"));
    int64_t lines = 0;
    // One line object for all lines, as callers that only look at each line read.
    std::string line;
    while (reader.readLine(line)) lines += static_cast<int64_t>(line.size() > 0);
    benchmark::DoNotOptimize(lines);
    reader.close();
  }
  state.SetBytesProcessed(state.iterations() * kFileSize);
}

}  // namespace

BENCHMARK(BM_Write)->ArgName("scrambled")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->ArgName("scrambled")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLines)->ArgName("scrambled")->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
