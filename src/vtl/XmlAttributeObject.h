#pragma once

#include "vtl/Object.h"
#include "xml/Attribute.h"

namespace vtl {

// An XML attribute seen from a template (org.dom4j.tree.DefaultAttribute).
class XmlAttributeObject : public Object {
 public:
  explicit XmlAttributeObject(xml::Attribute attribute) : attribute_(std::move(attribute)) {}

  std::string className() const override { return "org.dom4j.tree.DefaultAttribute"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;
  std::string toString() const override;
  bool equals(const Object& other) const override;

  // The form the element's text shows it in: [Attribute: name x value "y"].
  static std::string describe(const xml::Attribute& attribute);

 private:
  xml::Attribute attribute_;
};

}  // namespace vtl
