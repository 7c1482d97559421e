#pragma once

#include <string>

#include "xml/Document.h"
#include "xml/OutputFormat.h"

namespace xml {

// Writes elements and documents as UTF-8 XML text in one of the layouts of
// OutputFormat. Markup characters of text become "&amp;", "&lt;", "&gt;";
// attribute values are written in double quotes with "&quot;" as well;
// character data is written as it stands; an element without any content is
// written in the short form "<name/>". An element written on its own gets the
// declarations of the namespace prefixes it and its attributes use from its
// ancestors. The walk is iterative: nesting depth is bounded by memory only;
// indentation stops growing below 64 levels.
class XMLWriter {
 public:
  explicit XMLWriter(OutputFormat format = OutputFormat()) : format_(std::move(format)) {}

  // The element and its descendants; never a declaration.
  void write(const Element& element, std::string& out) const;
  // The declaration, a line break, then the document's nodes (in the pretty
  // layout each top-level node on a line of its own).
  void write(const Document& document, std::string& out) const;

  std::string toString(const Element& element) const;
  std::string toString(const Document& document) const;

 private:
  OutputFormat format_;
};

}  // namespace xml
