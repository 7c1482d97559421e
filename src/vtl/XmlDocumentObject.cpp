#include "vtl/XmlDocumentObject.h"

#include "vtl/Value.h"
#include "vtl/XmlValues.h"

namespace vtl {

bool XmlDocumentObject::invoke(std::string_view name, std::span<const Value> args, Value& result) {
  if (!args.empty()) return false;
  if (name == "getRootElement") {
    result = XmlValues::of(document_.getRootElement());
  } else if (name == "asXML") {
    result = Value(document_.asXML());
  } else if (name == "nodeCount") {
    result = Value(document_.getRootElement() ? 1 : 0);
  } else if (name == "getName") {
    result = Value();
  } else {
    return false;
  }
  return true;
}

std::string XmlDocumentObject::toString() const {
  return Object::toString() + " [Document: name null]";
}

bool XmlDocumentObject::equals(const Object& other) const {
  auto* that = dynamic_cast<const XmlDocumentObject*>(&other);
  return that && that->document_ == document_;
}

}  // namespace vtl
