#pragma once

#include "vtl/Value.h"
#include "xml/Attribute.h"
#include "xml/Document.h"
#include "xml/Element.h"

namespace vtl {

// Template values for XML documents, elements and attributes, with the
// document model's operations (getRootElement, element, elements,
// attributeValue, attribute, attributes, attributeCount, getText,
// getTextTrim, getName, getQualifiedName, getParent, asXML, getValue) and
// their property forms ($doc.rootElement.name). A null handle is null.
class XmlValues {
 public:
  static Value of(const xml::Document& document);
  static Value of(const xml::Element& element);
  static Value of(const xml::Attribute& attribute);
};

}  // namespace vtl
