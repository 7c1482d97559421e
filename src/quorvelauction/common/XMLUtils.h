#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xml/Attribute.h"
#include "xml/Document.h"
#include "xml/Element.h"

namespace quorvelauction::common {

// Text codings used at the system's borders, and reading, walking and
// writing of XML documents and program files. Static only, no state: every
// call makes its own reader, writer and streams. Files are opened through
// the file stream factory of GlobalConfig, so scrambled files are read and
// written in their plain form.
class XMLUtils {
 public:
  XMLUtils() = delete;

  // Form-style percent encoding per UTF-16 code unit: a blank becomes "+",
  // ASCII letters and digits stay, every other unit is "%XX" per byte of its
  // UTF-8 form (upper-case digits); a surrogate half is "%3F".
  static std::string escape(std::string_view text);

  // Form-URL decoding (UTF-8), trim of code units up to U+0020, one trailing
  // then one leading apostrophe removed, euro signs written as "&euro;". An
  // absent text gives "". A "%" without two hexadecimal digits fails with
  // platform::IllegalArgumentException.
  static std::string unescape(std::string_view text);
  static std::string unescape(const std::optional<std::string>& text);
  static std::string unescape(const std::string& text) { return unescape(std::string_view(text)); }
  static std::string unescape(const char* text) { return unescape(std::string_view(text)); }

  // "&", "<", ">" and the double quote as entities; absent or empty gives "".
  static std::string encodeXML(std::string_view text);
  static std::string encodeXML(const std::optional<std::string>& text);
  static std::string encodeXML(const std::string& text) { return encodeXML(std::string_view(text)); }
  static std::string encodeXML(const char* text) { return encodeXML(std::string_view(text)); }

  // As encodeXML plus the apostrophe ("&#039;") and the backslash
  // ("&#092;"); absent or empty gives "&nbsp;".
  static std::string encodeHtml(std::string_view text);
  static std::string encodeHtml(const std::optional<std::string>& text);
  static std::string encodeHtml(const std::string& text) { return encodeHtml(std::string_view(text)); }
  static std::string encodeHtml(const char* text) { return encodeHtml(std::string_view(text)); }

  // The German letters as HTML entities ("ä" -> "&auml;", "ß" -> "&szlig;").
  static std::string escapeUmlaut(std::string_view text);

  // Every tag ("<" up to the next ">") becomes one blank; then "&lt;",
  // "&gt;" and "&euro;" are decoded, the text trimmed, and one trailing and
  // one leading apostrophe removed.
  static std::string htmlToText(std::string_view text);

  // The document of the XML file at path, read as UTF-8. Never fails: any
  // failure prints its stack trace and gives an empty document.
  static xml::Document fileToDoc(const std::string& path);
  // Fails with xml::DocumentException.
  static xml::Document stringToDoc(std::string_view text);

  // From root, the first child of each "/"-separated name in turn (empty
  // names at the end dropped). Fails with platform::Exception
  // ("element " + name + " not found").
  static xml::Element getByPath(const xml::Element& root, const std::string& path);

  // The compact XML text of the root element (no declaration); "" for a
  // document without one.
  static std::string asCompactString(const xml::Document& document);
  static std::string asCompactString(const xml::Element& element);

  // The indented text (with the declaration for a document), also printed on
  // standard output; "" after a printed stack trace on failure.
  static std::string prettyPrint(const xml::Document& document);
  static std::string prettyPrint(const xml::Element& element);

  // The attribute's value as a decimal 32-bit integer; -1 for an absent
  // attribute or a value that is not one.
  static int32_t parseId(const xml::Attribute& attribute);

  // Copies source to destination (created or cut), each side scrambled or
  // plain by its own path. Nothing happens when source does not exist.
  static void copyLocal(const std::string& source, const std::string& destination);

  // The file's bytes as ISO-8859-1 text (one character per byte); "" when the
  // file does not exist.
  static std::string webfileToString(const std::string& path);
};

}  // namespace quorvelauction::common
