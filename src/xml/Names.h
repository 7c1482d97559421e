#pragma once

#include <cstring>
#include <string_view>

namespace xml::detail {

// Small helpers on qualified names and white space shared by the model, the
// reader and the writer.
inline bool isXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

inline std::string_view prefixOf(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
}

inline std::string_view localOf(std::string_view qname) {
  size_t colon = qname.find(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// "xmlns" or "xmlns:p".
inline bool isNamespaceDeclaration(std::string_view qname) {
  return qname.size() >= 5 && qname.compare(0, 5, "xmlns") == 0 &&
         (qname.size() == 5 || qname[5] == ':');
}

// The prefix a declaration binds: "" for "xmlns", "p" for "xmlns:p".
inline std::string_view declaredPrefix(std::string_view qname) {
  return qname.size() == 5 ? std::string_view() : qname.substr(6);
}

// A lookup name matches a qualified name: names with ":" compare whole,
// others compare with the local part.
inline bool nameMatches(std::string_view lookup, std::string_view qname) {
  if (lookup.find(':') != std::string_view::npos) return lookup == qname;
  return lookup == localOf(qname);
}

// True when name can be written as an element or attribute name.
bool isWritableName(std::string_view name);

}  // namespace xml::detail
