#pragma once

#include "vtl/Object.h"
#include "xml/Document.h"

namespace vtl {

// An XML document seen from a template (org.dom4j.tree.DefaultDocument).
class XmlDocumentObject : public Object {
 public:
  explicit XmlDocumentObject(xml::Document document) : document_(std::move(document)) {}

  std::string className() const override { return "org.dom4j.tree.DefaultDocument"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;
  std::string toString() const override;
  bool equals(const Object& other) const override;

 private:
  xml::Document document_;
};

}  // namespace vtl
