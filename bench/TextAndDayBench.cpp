// The small calls every listed record makes: a UTF-16 order comparison of
// two titles (the title sort, the category maps) and a day format.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "platform/Date.h"
#include "platform/Strings.h"
#include "zentravilo/util/DayDate.h"

namespace {

std::vector<std::string> titles() {
  std::vector<std::string> all;
  for (int i = 0; i < 64; ++i) {
    all.push_back("Artikel " + std::to_string(1000 + i * 37) + " mit Umlaut \xC3\xA4\xC3\xB6\xC3\xBC Lampe");
  }
  return all;
}

void BM_CompareTo(benchmark::State& state) {
  const std::vector<std::string> all = titles();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::Strings::compareTo(all[i % 64], all[(i * 7 + 3) % 64]));
    ++i;
  }
}
BENCHMARK(BM_CompareTo);

void BM_CompareToIgnoreCase(benchmark::State& state) {
  const std::vector<std::string> all = titles();
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::Strings::compareToIgnoreCase(all[i % 64], all[(i * 7 + 3) % 64]));
    ++i;
  }
}
BENCHMARK(BM_CompareToIgnoreCase);

void BM_GermanDayFormat(benchmark::State& state) {
  int64_t millis = 1'700'000'000'000;
  for (auto _ : state) {
    zentravilo::util::DayDate day{platform::Date(millis)};
    benchmark::DoNotOptimize(day.asGermanFormat());
    millis += 86'400'000;
  }
}
BENCHMARK(BM_GermanDayFormat);

}  // namespace

BENCHMARK_MAIN();
