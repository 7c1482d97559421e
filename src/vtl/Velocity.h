#pragma once

#include <memory>
#include <string>

#include "platform/Writer.h"
#include "vtl/Context.h"
#include "vtl/Engine.h"
#include "vtl/Template.h"

namespace vtl {

// The process-wide template engine, as the program's start-up configures it
// and every rendering uses it.
class Velocity {
 public:
  static Engine& engine();

  static void setProperty(const std::string& key, const std::string& value) {
    engine().setProperty(key, value);
  }
  static void registerLoaderClass(const std::string& className, Engine::LoaderFactory factory) {
    engine().registerLoaderClass(className, std::move(factory));
  }
  static void init() { engine().init(); }
  static std::shared_ptr<const Template> getTemplate(const std::string& name,
                                                     const std::string& encoding) {
    return engine().getTemplate(name, encoding);
  }
  static bool mergeTemplate(const std::string& name, const std::string& encoding, Context& context,
                            platform::Writer& writer) {
    return engine().mergeTemplate(name, encoding, context, writer);
  }
};

}  // namespace vtl
