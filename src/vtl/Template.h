#pragma once

#include <string>

#include "platform/Writer.h"
#include "vtl/Arena.h"
#include "vtl/Context.h"

namespace vtl {

class Engine;
struct Block;

// One parsed template: its name, the character set it was read in, its text
// and the nodes parsed from it. Immutable once parsed, so one template may be
// merged by several threads at once (each with its own context).
class Template {
 public:
  Template(Engine& engine, std::string name, std::string encoding, std::string text);
  Template(const Template&) = delete;
  Template& operator=(const Template&) = delete;

  const std::string& getName() const { return name_; }
  const std::string& getEncoding() const { return encoding_; }

  // Renders the template with context into writer. Fails with
  // MethodInvocationException, ParseErrorException or
  // ResourceNotFoundException (from #parse, #include and called operations)
  // or RenderLimitException; what was rendered before is written.
  void merge(Context& context, platform::Writer& writer) const;

  // For the parser and the renderer.
  Engine& engine() const { return *engine_; }
  const std::string& text() const { return text_; }
  Arena& arena() { return arena_; }
  const Block* root() const { return root_; }
  void setRoot(const Block* root) { root_ = root; }
  // How many distinct variable names the template uses.
  uint32_t symbolCount() const { return symbolCount_; }
  // Unique among all templates of the process.
  uint64_t id() const { return id_; }
  void setSymbolCount(uint32_t count) { symbolCount_ = count; }

 private:
  Engine* engine_;
  std::string name_;
  std::string encoding_;
  std::string text_;
  Arena arena_;
  const Block* root_ = nullptr;
  uint32_t symbolCount_ = 0;
  uint64_t id_;
};

}  // namespace vtl
