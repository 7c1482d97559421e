#pragma once

#include "vtl/Object.h"
#include "xml/Element.h"

namespace vtl {

// An XML element seen from a template (org.dom4j.tree.DefaultElement).
class XmlElementObject : public Object {
 public:
  explicit XmlElementObject(xml::Element element) : element_(std::move(element)) {}

  std::string className() const override { return "org.dom4j.tree.DefaultElement"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;
  std::string toString() const override;
  bool equals(const Object& other) const override;

 private:
  xml::Element element_;
};

}  // namespace vtl
