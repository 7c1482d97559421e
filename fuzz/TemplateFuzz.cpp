// The template parser and renderer on any text, with a context holding a
// few values (a text, a number, a list) and a loader folder that holds nothing.

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "FuzzTarget.h"
#include "platform/Writer.h"
#include "vtl/Context.h"
#include "vtl/Engine.h"

namespace {

// Drops the output, and ends the rendering once it passes a few megabytes:
// loops nested over large ranges are valid templates whose output would take
// hours to write.
class CappedOutput : public platform::Writer {
 public:
  void write(std::string_view text) override {
    if (text.size() > left_) throw std::length_error("output over the fuzz target's cap");
    left_ -= text.size();
  }

 private:
  size_t left_ = size_t{4} << 20;
};

vtl::Engine& engine() {
  static std::unique_ptr<vtl::Engine> instance = [] {
    const std::string empty = (std::filesystem::temp_directory_path() / "qa-fuzz-no-templates").string();
    std::filesystem::create_directories(empty);
    auto e = std::make_unique<vtl::Engine>();
    e->setProperty("resource.loader", "file");
    e->setProperty("file.resource.loader.path", empty);
    e->init();
    return e;
  }();
  return *instance;
}

}  // namespace

QA_FUZZ_TARGET(TemplateFuzz) {
  vtl::Context context;
  context.put("name", std::string("Lamp"));
  context.put("count", 3);
  // A list from outside, for the methods that change lists.
  context.put("items", vtl::Value::stringList({"a", "b"}));
  CappedOutput out;
  try {
    engine().evaluate(context, out, "fuzz.vm", std::string(input));
  } catch (const std::exception&) {
    // Parse and method errors are the template's own, as is a page over
    // the cap.
  }
}
