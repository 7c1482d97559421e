#include "vtl/ClassObject.h"

#include "vtl/Value.h"

namespace vtl {

bool ClassObject::invoke(std::string_view name, std::span<const Value> args, Value& result) {
  if (name == "getName" && args.empty()) {
    result = Value(name_);
    return true;
  }
  if (name == "getSimpleName" && args.empty()) {
    size_t dot = name_.rfind('.');
    result = Value(dot == std::string::npos ? name_ : name_.substr(dot + 1));
    return true;
  }
  return false;
}

std::string ClassObject::toString() const {
  bool isInterface = name_ == "java.util.List";
  return (isInterface ? "interface " : "class ") + name_;
}

bool ClassObject::equals(const Object& other) const {
  auto* that = dynamic_cast<const ClassObject*>(&other);
  return that && that->name_ == name_;
}

}  // namespace vtl
