#include "xml/Element.h"

#include <cstring>

#include "platform/Exceptions.h"
#include "xml/DocumentData.h"
#include "xml/Names.h"
#include "xml/OutputFormat.h"
#include "xml/XMLWriter.h"

namespace xml {

namespace {

bool isText(pugi::xml_node n) {
  return n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata;
}

void requireWritableName(std::string_view name) {
  if (!detail::isWritableName(name))
    throw platform::IllegalArgumentException("not a valid XML name: \"" + std::string(name) + "\"");
}

}  // namespace

Element::Element(std::shared_ptr<detail::DocumentData> doc, pugi::xml_node node)
    : doc_(std::move(doc)), node_(node) {}

pugi::xml_node Element::node() const {
  if (!node_) throw platform::NullPointerException("element is null");
  return node_;
}

std::string Element::getName() const { return std::string(detail::localOf(node().name())); }

std::string Element::getQualifiedName() const { return node().name(); }

std::string Element::getNamespacePrefix() const {
  return std::string(detail::prefixOf(node().name()));
}

std::string Element::getNamespaceURI() const {
  std::string_view prefix = detail::prefixOf(node().name());
  if (prefix == "xml") return "http://www.w3.org/XML/1998/namespace";
  for (pugi::xml_node n = node_; n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      std::string_view name = a.name();
      if (detail::isNamespaceDeclaration(name) && detail::declaredPrefix(name) == prefix)
        return a.value();
    }
  }
  return "";
}

std::vector<Namespace> Element::declaredNamespaces() const {
  std::vector<Namespace> result;
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute()) {
    std::string_view name = a.name();
    if (detail::isNamespaceDeclaration(name))
      result.push_back({std::string(detail::declaredPrefix(name)), a.value()});
  }
  return result;
}

std::vector<Attribute> Element::attributes() const {
  std::vector<Attribute> result;
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute())
    if (!detail::isNamespaceDeclaration(a.name())) result.push_back(Attribute(doc_, node_, a.name()));
  return result;
}

int Element::attributeCount() const {
  int count = 0;
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute())
    if (!detail::isNamespaceDeclaration(a.name())) ++count;
  return count;
}

Attribute Element::attribute(std::string_view name) const {
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute()) {
    std::string_view qname = a.name();
    if (!detail::isNamespaceDeclaration(qname) && detail::nameMatches(name, qname))
      return Attribute(doc_, node_, std::string(qname));
  }
  return Attribute();
}

Attribute Element::attribute(int index) const {
  int i = 0;
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute()) {
    if (detail::isNamespaceDeclaration(a.name())) continue;
    if (i++ == index) return Attribute(doc_, node_, a.name());
  }
  return Attribute();
}

std::optional<std::string> Element::attributeValue(std::string_view name) const {
  for (pugi::xml_attribute a = node().first_attribute(); a; a = a.next_attribute()) {
    std::string_view qname = a.name();
    if (!detail::isNamespaceDeclaration(qname) && detail::nameMatches(name, qname))
      return std::string(a.value());
  }
  return std::nullopt;
}

std::string Element::attributeValue(std::string_view name, std::string_view fallback) const {
  std::optional<std::string> value = attributeValue(name);
  return value ? *value : std::string(fallback);
}

Element& Element::addAttribute(std::string_view name, std::string_view value) {
  pugi::xml_node n = node();
  requireWritableName(name);
  std::string qname(name);
  pugi::xml_attribute a = n.attribute(qname.c_str());
  if (!a) a = n.append_attribute(qname.c_str());
  a.set_value(value.data(), value.size());
  return *this;
}

bool Element::removeAttribute(std::string_view name) {
  pugi::xml_node n = node();
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    std::string_view qname = a.name();
    if (!detail::isNamespaceDeclaration(qname) && detail::nameMatches(name, qname))
      return n.remove_attribute(a);
  }
  return false;
}

std::string Element::getText() const {
  std::string text;
  for (pugi::xml_node c = node().first_child(); c; c = c.next_sibling())
    if (isText(c)) text += c.value();
  return text;
}

std::string Element::getTextTrim() const {
  std::string text = getText();
  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && detail::isXmlSpace(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !detail::isXmlSpace(text[i])) ++i;
    if (i > start) {
      if (!result.empty()) result += ' ';
      result.append(text, start, i - start);
    }
  }
  return result;
}

void Element::setText(std::string_view text) {
  pugi::xml_node n = node();
  for (pugi::xml_node c = n.first_child(); c;) {
    pugi::xml_node next = c.next_sibling();
    if (isText(c)) n.remove_child(c);
    c = next;
  }
  addText(text);
}

Element& Element::addText(std::string_view text) {
  pugi::xml_node n = node();
  if (!text.empty()) n.append_child(pugi::node_pcdata).set_value(text.data(), text.size());
  return *this;
}

std::vector<Element> Element::elements() const {
  std::vector<Element> result;
  for (pugi::xml_node c = node().first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element) result.push_back(Element(doc_, c));
  return result;
}

std::vector<Element> Element::elements(std::string_view name) const {
  std::vector<Element> result;
  for (pugi::xml_node c = node().first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && detail::nameMatches(name, c.name()))
      result.push_back(Element(doc_, c));
  return result;
}

Element Element::element(std::string_view name) const {
  for (pugi::xml_node c = node().first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && detail::nameMatches(name, c.name()))
      return Element(doc_, c);
  return Element();
}

Element Element::addElement(std::string_view name) {
  pugi::xml_node n = node();
  requireWritableName(name);
  pugi::xml_node child = n.append_child(pugi::node_element);
  child.set_name(std::string(name).c_str());
  return Element(doc_, child);
}

bool Element::remove(const Element& child) {
  pugi::xml_node n = node();
  if (!child.node_ || child.node_.parent() != n || child.doc_ != doc_) return false;
  doc_->holder().append_move(child.node_);
  return true;
}

Element Element::getParent() const {
  pugi::xml_node parent = node().parent();
  if (parent.type() != pugi::node_element || parent == doc_->removed) return Element();
  return Element(doc_, parent);
}

Document Element::getDocument() const {
  node();
  return Document(doc_);
}

bool Element::isRootElement() const { return node() == doc_->root(); }

std::string Element::asXML() const { return XMLWriter().toString(*this); }

}  // namespace xml
