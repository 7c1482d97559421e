#include "vtl/XmlElementObject.h"

#include <memory>

#include "vtl/Value.h"
#include "vtl/XmlAttributeObject.h"
#include "vtl/XmlContent.h"
#include "vtl/XmlValues.h"

namespace vtl {

namespace {

template <class Handles>
Value listOf(const Handles& handles) {
  auto list = std::make_shared<List>();
  list->items.reserve(handles.size());
  for (const auto& handle : handles) list->items.push_back(XmlValues::of(handle));
  return Value(std::move(list));
}

// "/shop/item": the qualified names from the root down.
std::string pathOf(const xml::Element& element) {
  std::string path;
  for (xml::Element e = element; e; e = e.getParent()) path = "/" + e.getQualifiedName() + path;
  return path;
}

Value childText(const xml::Element& element, const std::string& name, bool trim) {
  xml::Element child = element.element(name);
  if (!child) return Value();
  return Value(trim ? child.getTextTrim() : child.getText());
}

}  // namespace

bool XmlElementObject::invoke(std::string_view name, std::span<const Value> args, Value& result) {
  if (args.empty()) {
    if (name == "getName") {
      result = Value(element_.getName());
    } else if (name == "getQualifiedName") {
      result = Value(element_.getQualifiedName());
    } else if (name == "getText") {
      result = Value(element_.getText());
    } else if (name == "getTextTrim") {
      result = Value(element_.getTextTrim());
    } else if (name == "asXML") {
      result = Value(element_.asXML());
    } else if (name == "getParent") {
      result = XmlValues::of(element_.getParent());
    } else if (name == "attributeCount") {
      result = Value(static_cast<int32_t>(element_.attributeCount()));
    } else if (name == "attributes") {
      result = listOf(element_.attributes());
    } else if (name == "elements") {
      result = listOf(element_.elements());
    } else if (name == "getDocument") {
      result = XmlValues::of(element_.getDocument());
    } else if (name == "getNamespaceURI") {
      result = Value(element_.getNamespaceURI());
    } else if (name == "getNamespacePrefix") {
      result = Value(element_.getNamespacePrefix());
    } else if (name == "getPath") {
      result = Value(pathOf(element_));
    } else if (name == "isRootElement") {
      result = Value(element_.isRootElement());
    } else if (name == "isTextOnly") {
      result = Value(element_.elements().empty());
    } else if (name == "hasContent") {
      result = Value(XmlContent(element_.asXML()).nodeCount() > 0);
    } else if (name == "nodeCount") {
      result = Value(static_cast<int32_t>(XmlContent(element_.asXML()).nodeCount()));
    } else if (name == "getStringValue") {
      result = Value(XmlContent(element_.asXML()).stringValue());
    } else {
      return false;
    }
    return true;
  }
  const Value& first = args[0];
  if (args.size() == 1 && first.isString()) {
    const std::string& key = first.asString();
    if (name == "element") {
      result = XmlValues::of(element_.element(key));
    } else if (name == "elements") {
      result = listOf(element_.elements(key));
    } else if (name == "attributeValue") {
      result = Value(element_.attributeValue(key));
    } else if (name == "attribute") {
      result = XmlValues::of(element_.attribute(key));
    } else if (name == "elementText" || name == "elementTextTrim") {
      result = childText(element_, key, name == "elementTextTrim");
    } else {
      return false;
    }
    return true;
  }
  if (args.size() == 1 && first.isInt() && name == "attribute") {
    result = XmlValues::of(element_.attribute(first.asInt()));
    return true;
  }
  if (args.size() == 2 && name == "attributeValue" && first.isString() &&
      (args[1].isString() || args[1].isNull())) {
    std::optional<std::string> value = element_.attributeValue(first.asString());
    result = value ? Value(*value) : args[1];
    return true;
  }
  return false;
}

std::string XmlElementObject::toString() const {
  std::string text = Object::toString() + " [Element: <" + element_.getQualifiedName();
  std::vector<xml::Attribute> attributes = element_.attributes();
  if (!attributes.empty()) {
    text += " attributes: [";
    for (size_t i = 0; i < attributes.size(); ++i) {
      if (i > 0) text += ", ";
      text += "org.dom4j.tree.DefaultAttribute " + XmlAttributeObject::describe(attributes[i]);
    }
    text += "]";
  }
  return text + "/>]";
}

bool XmlElementObject::equals(const Object& other) const {
  auto* that = dynamic_cast<const XmlElementObject*>(&other);
  return that && that->element_ == element_;
}

}  // namespace vtl
