#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "xml/Attribute.h"
#include "xml/Namespace.h"

namespace xml {

namespace detail {
struct DocumentData;
}
class Document;

// A handle to one element of a document. Copies of a handle name the same
// element; every handle keeps its document alive, so an element stays valid
// for as long as any handle to it or its document exists, also after it has
// been removed from its parent (it is then detached: no parent).
//
// A default-made handle is null (absent), which is what the lookups answer
// when nothing matches; every accessor of a null handle fails with
// platform::NullPointerException.
//
// Child and attribute lookups by a name without ":" compare local names
// ("Body" finds "soapenv:Body"); a name with ":" compares qualified names.
class Element {
 public:
  Element() = default;

  explicit operator bool() const { return static_cast<bool>(node_); }
  bool isNull() const { return !node_; }

  // Local name, qualified name ("p:name"), prefix ("" when none).
  std::string getName() const;
  std::string getQualifiedName() const;
  std::string getNamespacePrefix() const;
  // The URI the prefix is bound to in scope; "" when unbound or none.
  std::string getNamespaceURI() const;
  // The xmlns declarations this element itself carries, in document order.
  std::vector<Namespace> declaredNamespaces() const;

  // Attributes in document order (namespace declarations excluded).
  std::vector<Attribute> attributes() const;
  int attributeCount() const;
  // Null handle when there is no such attribute (or index out of range).
  Attribute attribute(std::string_view name) const;
  Attribute attribute(int index) const;
  std::optional<std::string> attributeValue(std::string_view name) const;
  std::string attributeValue(std::string_view name, std::string_view fallback) const;
  // Sets the attribute, replacing an existing value in place or adding it at
  // the end. Fails with platform::IllegalArgumentException for a name that
  // cannot be written as XML.
  Element& addAttribute(std::string_view name, std::string_view value);
  // False when there was no such attribute.
  bool removeAttribute(std::string_view name);

  // The element's own text and character-data pieces joined, untrimmed; text
  // inside child elements does not count.
  std::string getText() const;
  // getText with white space trimmed and inner runs written as one blank.
  std::string getTextTrim() const;
  // Replaces the element's own text and character data by one text.
  void setText(std::string_view text);
  // Appends a text piece after the current content.
  Element& addText(std::string_view text);

  // Child elements in document order, all or those of one name.
  std::vector<Element> elements() const;
  std::vector<Element> elements(std::string_view name) const;
  // The first child element of that name, or null.
  Element element(std::string_view name) const;
  // Appends a new, empty child element. Fails with
  // platform::IllegalArgumentException for a name that cannot be written.
  Element addElement(std::string_view name);
  // Detaches a direct child; false when child is not one.
  bool remove(const Element& child);

  // The parent element; null for the root element and a detached element.
  Element getParent() const;
  Document getDocument() const;
  bool isRootElement() const;

  // The element as XML text, as it stands: no declaration, no indentation,
  // text written untrimmed.
  std::string asXML() const;

  bool operator==(const Element& other) const { return node_ == other.node_; }

 private:
  friend class Attribute;
  friend class Document;
  friend class XMLWriter;
  Element(std::shared_ptr<detail::DocumentData> doc, pugi::xml_node node);
  pugi::xml_node node() const;  // fails on a null handle

  std::shared_ptr<detail::DocumentData> doc_;
  pugi::xml_node node_;
};

}  // namespace xml

#include "xml/Document.h"
