#include "xml/SAXReader.h"

#include <cstring>
#include <string>
#include <vector>

#include "xml/DocumentData.h"
#include "xml/Names.h"
#include "xml/SourceChecker.h"

namespace xml {

namespace {

// References are decoded by pugixml; SourceChecker then rejects a document
// with any reference that is not predefined or a valid character.
constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_ws_pcdata | pugi::parse_eol | pugi::parse_escapes |
                              pugi::parse_wconv_attribute | pugi::parse_pi | pugi::parse_comments |
                              pugi::parse_declaration | pugi::parse_doctype |
                              pugi::parse_fragment;

// "Error on line L, column C: what", counted on the text the parser saw.
[[noreturn]] void fail(std::string_view source, size_t offset, const std::string& what) {
  if (offset > source.size()) offset = source.size();
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset; ++i) {
    unsigned char c = static_cast<unsigned char>(source[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  throw DocumentException("Error on line " + std::to_string(line) + ", column " +
                          std::to_string(column) + ": " + what);
}

// Length of the well-formed UTF-8 sequence at p (1..4) with its code point,
// or 0 when the bytes there are malformed.
int sequenceAt(const unsigned char* p, size_t left, char32_t& cp) {
  unsigned char c = p[0];
  int len;
  char32_t min;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if (c >= 0xC2 && c <= 0xDF) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4, cp = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (left < static_cast<size_t>(len)) return 0;
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

// How many leading bytes of a malformed sequence form one bad unit.
int badUnitLength(const unsigned char* p, size_t left) {
  int n = 1;
  while (static_cast<size_t>(n) < left && n < 4 && (p[n] & 0xC0) == 0x80) {
    char32_t cp;
    if (sequenceAt(p, n + 1, cp) != 0) break;
    ++n;
  }
  return n;
}

// Skips bytes that need no attention: ASCII from U+0020 and tab, LF, CR.
size_t skipPlain(const char* p, size_t n, size_t i) {
  constexpr uint64_t kHigh = 0x8080808080808080ull, kSpace = 0x2020202020202020ull;
  while (i + 8 <= n) {
    uint64_t w;
    std::memcpy(&w, p + i, 8);
    if ((w & kHigh) == 0 && ((w - kSpace) & ~w & kHigh) == 0) {
      i += 8;
      continue;
    }
    break;
  }
  for (; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(p[i]);
    if (c >= 0x80 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) return i;
  }
  return n;
}

std::string hex(char32_t cp) {
  static const char* digits = "0123456789ABCDEF";
  std::string s = "U+";
  for (int shift = cp > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) s += digits[(cp >> shift) & 0xF];
  return s;
}

// Checks the characters of the input and, where its UTF-8 is malformed,
// writes a repaired copy into repaired. Returns the text to parse.
std::string_view checkCharacters(std::string_view text, std::string& repaired) {
  const char* p = text.data();
  size_t n = text.size();
  size_t i = 0;
  bool copying = false;
  size_t copiedUpTo = 0;
  for (;;) {
    i = skipPlain(p, n, i);
    if (i == n) break;
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p + i);
    char32_t cp;
    int len = sequenceAt(u, n - i, cp);
    if (len == 0) {
      if (!copying) {
        repaired.reserve(n + 16);
        copying = true;
      }
      repaired.append(p + copiedUpTo, i - copiedUpTo);
      repaired += "\xEF\xBF\xBD";
      i += badUnitLength(u, n - i);
      copiedUpTo = i;
      continue;
    }
    if (cp < 0x20 || cp == 0xFFFE || cp == 0xFFFF) {
      // The position counts in the text the parser would have seen: the
      // repaired copy, completed up to here, once bytes were replaced.
      if (!copying) fail(text, i, "invalid XML character " + hex(cp));
      repaired.append(p + copiedUpTo, i - copiedUpTo);
      fail(repaired, repaired.size(), "invalid XML character " + hex(cp));
    }
    i += len;
  }
  if (!copying) return text;
  repaired.append(p + copiedUpTo, n - copiedUpTo);
  return repaired;
}

}  // namespace

Document SAXReader::read(std::string_view text) const {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.remove_prefix(3);
  std::string repaired;
  std::string_view source = checkCharacters(text, repaired);

  auto data = std::make_shared<detail::DocumentData>();
  char* buffer = static_cast<char*>(pugi::get_memory_allocation_function()(source.size() + 1));
  if (!buffer) throw DocumentException("out of memory");
  std::memcpy(buffer, source.data(), source.size());
  buffer[source.size()] = '\0';
  pugi::xml_parse_result result =
      data->doc.load_buffer_inplace_own(buffer, source.size(), kOptions, pugi::encoding_utf8);
  if (!result) fail(source, static_cast<size_t>(result.offset), result.description());
  detail::SourceChecker(source).run();
  // Both passes must have seen the same one root element.
  int roots = 0;
  for (pugi::xml_node n = data->doc.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) ++roots;
  if (roots != 1) fail(source, 0, "the document has no single root element");
  return Document(std::move(data));
}

Document SAXReader::read(platform::InputStream& in) const {
  std::string bytes = in.readAll();
  return read(std::string_view(bytes));
}

Document SAXReader::read(platform::Reader& in) const {
  std::string text = in.readAll();
  return read(std::string_view(text));
}

}  // namespace xml
