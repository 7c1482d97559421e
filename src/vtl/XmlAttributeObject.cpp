#include "vtl/XmlAttributeObject.h"

#include "vtl/Value.h"
#include "vtl/XmlValues.h"

namespace vtl {

bool XmlAttributeObject::invoke(std::string_view name, std::span<const Value> args, Value& result) {
  if (!args.empty()) return false;
  if (name == "getName") {
    result = Value(attribute_.getName());
  } else if (name == "getQualifiedName") {
    result = Value(attribute_.getQualifiedName());
  } else if (name == "getValue" || name == "getText") {
    result = Value(attribute_.getValue());
  } else if (name == "getParent") {
    result = XmlValues::of(attribute_.getParent());
  } else {
    return false;
  }
  return true;
}

std::string XmlAttributeObject::describe(const xml::Attribute& attribute) {
  return "[Attribute: name " + attribute.getQualifiedName() + " value \"" + attribute.getValue() + "\"]";
}

std::string XmlAttributeObject::toString() const { return Object::toString() + " " + describe(attribute_); }

bool XmlAttributeObject::equals(const Object& other) const {
  auto* that = dynamic_cast<const XmlAttributeObject*>(&other);
  return that && that->attribute_ == attribute_;
}

}  // namespace vtl
