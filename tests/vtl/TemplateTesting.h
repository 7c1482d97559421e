#pragma once

// Renders template text given in a test with a fresh engine whose file
// loader reads from a folder of the test's choosing.

#include <memory>
#include <string>

#include "platform/StringWriter.h"
#include "vtl/Context.h"
#include "vtl/Engine.h"

namespace vtltest {

inline std::unique_ptr<vtl::Engine> engineFor(const std::string& folder) {
  auto engine = std::make_unique<vtl::Engine>();
  engine->setProperty("resource.loader", "file");
  engine->setProperty("file.resource.loader.path", folder);
  engine->init();
  return engine;
}

inline std::string evaluate(vtl::Engine& engine, vtl::Context& context, const std::string& text) {
  platform::StringWriter out;
  engine.evaluate(context, out, "test.vm", text);
  return out.take();
}

inline std::string evaluate(const std::string& text, vtl::Context& context) {
  auto engine = engineFor(".");
  return evaluate(*engine, context, text);
}

inline std::string evaluate(const std::string& text) {
  vtl::Context context;
  return evaluate(text, context);
}

}  // namespace vtltest
