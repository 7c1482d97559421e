// Template engine speed on the 5 KB listing case: loading, parsing and
// rendering it as the server does (template cache off), and rendering the
// parsed template alone.

#include <benchmark/benchmark.h>

#include <string>

#include "../tools/VtlCase.h"
#include "platform/StringWriter.h"
#include "vtl/Engine.h"

namespace {

const std::string kCase = std::string(QA_SHARED_BENCH_DIR) + "/listing5k";

void configure(vtl::Engine& engine) {
  engine.setProperty("resource.loader", "file");
  engine.setProperty("file.resource.loader.path", kCase);
  engine.setProperty("file.resource.loader.cache", "false");
  engine.init();
}

void BM_LoadParseRender(benchmark::State& state) {
  vtl::Engine engine;
  configure(engine);
  vtl::Context context;
  vtlcase::loadContext(kCase, context);
  size_t bytes = 0;
  for (auto _ : state) {
    platform::StringWriter out;
    engine.mergeTemplate("template.vm", "ISO-8859-1", context, out);
    bytes = out.toString().size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LoadParseRender)->Unit(benchmark::kMicrosecond);

void BM_RenderParsed(benchmark::State& state) {
  vtl::Engine engine;
  configure(engine);
  vtl::Context context;
  vtlcase::loadContext(kCase, context);
  std::shared_ptr<const vtl::Template> tmpl = engine.getTemplate("template.vm", "ISO-8859-1");
  for (auto _ : state) {
    platform::StringWriter out;
    tmpl->merge(context, out);
    benchmark::DoNotOptimize(out.toString().data());
  }
}
BENCHMARK(BM_RenderParsed)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
