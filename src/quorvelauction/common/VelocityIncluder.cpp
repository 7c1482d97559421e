#include "quorvelauction/common/VelocityIncluder.h"

#include "platform/Exceptions.h"
#include "platform/StringWriter.h"
#include "vtl/Velocity.h"

namespace quorvelauction::common {

VelocityIncluder::VelocityIncluder(vtl::Context& context, std::string path)
    : path_(std::move(path)), context_(&context) {}

std::optional<std::string> VelocityIncluder::include(const std::string& name) {
  platform::StringWriter out;
  try {
    vtl::Velocity::mergeTemplate(path_ + name, "ISO-8859-1", *context_, out);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    std::string message = e.what();
    if (message.empty()) return std::nullopt;
    return message;
  }
  return out.take();
}

bool VelocityIncluder::invoke(std::string_view name, std::span<const vtl::Value> args,
                              vtl::Value& result) {
  if (name != "include" || args.size() != 1 || !(args[0].isString() || args[0].isNull())) return false;
  // A null name joins the path as the text "null".
  result = vtl::Value(include(args[0].isNull() ? "null" : args[0].asString()));
  return true;
}

}  // namespace quorvelauction::common
