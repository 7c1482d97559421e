#include "vtl/XmlValues.h"

#include <memory>

#include "vtl/XmlAttributeObject.h"
#include "vtl/XmlDocumentObject.h"
#include "vtl/XmlElementObject.h"

namespace vtl {

Value XmlValues::of(const xml::Document& document) {
  return Value(std::make_shared<XmlDocumentObject>(document));
}

Value XmlValues::of(const xml::Element& element) {
  if (element.isNull()) return Value();
  return Value(std::make_shared<XmlElementObject>(element));
}

Value XmlValues::of(const xml::Attribute& attribute) {
  if (attribute.isNull()) return Value();
  return Value(std::make_shared<XmlAttributeObject>(attribute));
}

}  // namespace vtl
