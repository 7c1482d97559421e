#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "xml/Element.h"

namespace xml {

namespace detail {
struct DocumentData;
}

// A shared handle to an XML document. Copies share one tree, as references
// do; the tree lives as long as any document or element handle into it. A
// default-made Document is a new empty one (no root element).
//
// Documents are made by SAXReader (parsing), DocumentHelper::createDocument or
// the default constructor. One document is not meant to be changed by several
// threads at once.
class Document {
 public:
  Document();

  // The root element, null for an empty document.
  Element getRootElement() const;
  // Makes the root element. Fails with platform::IllegalStateException when
  // the document already has one.
  Element addElement(std::string_view name);

  // The XML declaration, a line feed and the document's nodes as they stand.
  std::string asXML() const;

  bool operator==(const Document& other) const { return data_ == other.data_; }

 private:
  friend class Element;
  friend class SAXReader;
  friend class XMLWriter;
  explicit Document(std::shared_ptr<detail::DocumentData> data);

  std::shared_ptr<detail::DocumentData> data_;
};

}  // namespace xml
