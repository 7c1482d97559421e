#include "vtl/Template.h"

#include <atomic>

#include "vtl/Renderer.h"

namespace vtl {

Template::Template(Engine& engine, std::string name, std::string encoding, std::string text)
    : engine_(&engine), name_(std::move(name)), encoding_(std::move(encoding)), text_(std::move(text)) {
  arena_.reserve(text_.size() * 4);
  static std::atomic<uint64_t> next{1};
  id_ = next.fetch_add(1);
}

void Template::merge(Context& context, platform::Writer& writer) const {
  Renderer renderer(*engine_, context, writer);
  renderer.run(*this);
}

}  // namespace vtl
