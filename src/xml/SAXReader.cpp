#include "xml/SAXReader.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "xml/DocumentData.h"
#include "xml/Names.h"

namespace xml {

namespace {

constexpr unsigned kOptions = pugi::parse_cdata | pugi::parse_ws_pcdata | pugi::parse_eol |
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
      std::string_view seen = copying ? std::string_view(repaired) : text;
      size_t at = copying ? repaired.size() + (i - copiedUpTo) : i;
      if (copying) repaired.append(p + copiedUpTo, i - copiedUpTo);
      fail(seen, at, "invalid XML character " + hex(cp));
    }
    i += len;
  }
  if (!copying) return text;
  repaired.append(p + copiedUpTo, n - copiedUpTo);
  return repaired;
}

bool isXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

char* putUtf8(char* w, uint32_t cp) {
  if (cp < 0x80) {
    *w++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *w++ = static_cast<char>(0xC0 | (cp >> 6));
    *w++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *w++ = static_cast<char>(0xE0 | (cp >> 12));
    *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *w++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *w++ = static_cast<char>(0xF0 | (cp >> 18));
    *w++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *w++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *w++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return w;
}

// The checks a conforming parser makes that pugixml leaves out, and the
// decoding of references (pugixml is run without it, so that a reference to
// an undeclared entity is seen rather than kept as text).
class Checker {
 public:
  Checker(std::string_view source, const char* buffer) : source_(source), buffer_(buffer) {}

  void document(pugi::xml_node doc);

 private:
  size_t offsetOf(const char* p) const {
    return p >= buffer_ && p <= buffer_ + source_.size() ? static_cast<size_t>(p - buffer_) : 0;
  }
  [[noreturn]] void failAt(const char* p, const std::string& what) const {
    fail(source_, offsetOf(p), what);
  }
  void elementTree(pugi::xml_node root);
  void element(pugi::xml_node n);
  void text(pugi::xml_node n);
  void requireBound(std::string_view prefix, const char* where) const;
  void decode(const char* value);

  std::string_view source_;
  const char* buffer_;
  std::vector<std::string_view> bound_;  // declared prefixes in scope
  std::vector<size_t> marks_;            // bound_ sizes of the open elements
};

void Checker::document(pugi::xml_node doc) {
  int roots = 0;
  bool first = true;
  for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling(), first = false) {
    switch (n.type()) {
      case pugi::node_declaration:
        if (!first || offsetOf(n.name()) != 2) failAt(n.name(), "the XML declaration must come first");
        break;
      case pugi::node_pcdata:
        for (const char* p = n.value(); *p; ++p)
          if (!detail::isXmlSpace(*p)) failAt(p, "content is not allowed outside the root element");
        break;
      case pugi::node_cdata:
        failAt(n.value(), "content is not allowed outside the root element");
      case pugi::node_element:
        if (++roots > 1) failAt(n.name(), "only one root element is allowed");
        elementTree(n);
        break;
      default:
        break;
    }
  }
  if (roots == 0) fail(source_, source_.size(), "the document has no root element");
}

void Checker::elementTree(pugi::xml_node top) {
  marks_.push_back(bound_.size());
  element(top);
  pugi::xml_node parent = top;
  pugi::xml_node cur = top.first_child();
  for (;;) {
    if (!cur) {
      bound_.resize(marks_.back());
      marks_.pop_back();
      if (parent == top) return;
      cur = parent.next_sibling();
      parent = parent.parent();
      continue;
    }
    switch (cur.type()) {
      case pugi::node_element:
        marks_.push_back(bound_.size());
        element(cur);
        if (cur.first_child()) {
          parent = cur;
          cur = cur.first_child();
          continue;
        }
        bound_.resize(marks_.back());
        marks_.pop_back();
        break;
      case pugi::node_pcdata:
        text(cur);
        break;
      case pugi::node_declaration:
        failAt(cur.name(), "the XML declaration must come first");
      default:
        break;
    }
    cur = cur.next_sibling();
  }
}

void Checker::requireBound(std::string_view prefix, const char* where) const {
  if (prefix.empty() || prefix == "xml" || prefix == "xmlns") return;
  for (auto it = bound_.rbegin(); it != bound_.rend(); ++it)
    if (*it == prefix) return;
  failAt(where, "the prefix \"" + std::string(prefix) + "\" is not bound to a namespace");
}

// True when value holds "&" or "<".
bool needsLook(const char* value) {
  for (const char* p = value; *p; ++p)
    if (*p == '&' || *p == '<') return true;
  return false;
}

// What element() needs to know of a name: whether it has a ":" and whether
// it is a namespace declaration, in one pass.
struct NameShape {
  bool colon = false;
  bool declaration = false;
};

NameShape shapeOf(const char* name) {
  NameShape shape;
  const char* p = name;
  for (; *p; ++p)
    if (*p == ':') {
      shape.colon = true;
      break;
    }
  if (name[0] == 'x' && std::strncmp(name, "xmlns", 5) == 0 && (name[5] == '\0' || name[5] == ':'))
    shape.declaration = true;
  return shape;
}

void Checker::element(pugi::xml_node n) {
  constexpr int kInline = 16;
  const char* names[kInline];
  int count = 0;
  bool prefixed = shapeOf(n.name()).colon;
  std::unordered_set<std::string_view> many;
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    const char* value = a.value();
    if (needsLook(value)) {
      if (const char* lt = std::strchr(value, '<')) failAt(lt, "\"<\" is not allowed in attribute values");
      decode(value);
    }
    for (int i = 0; i < count && i < kInline; ++i)
      if (names[i][0] == name[0] && std::strcmp(names[i], name) == 0)
        failAt(name, "attribute \"" + std::string(name) + "\" appears twice");
    if (count < kInline) {
      names[count] = name;
    } else {
      if (count == kInline) many.insert(names, names + kInline);
      if (!many.insert(name).second) failAt(name, "attribute \"" + std::string(name) + "\" appears twice");
    }
    ++count;
    NameShape shape = shapeOf(name);
    if (shape.declaration) {
      bound_.push_back(detail::declaredPrefix(name));
    } else if (shape.colon) {
      prefixed = true;
    }
  }
  if (prefixed) {
    requireBound(detail::prefixOf(n.name()), n.name());
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
      if (!detail::isNamespaceDeclaration(a.name())) requireBound(detail::prefixOf(a.name()), a.name());
  }
}

void Checker::text(pugi::xml_node n) {
  const char* value = n.value();
  bool amp = false;
  for (const char* p = value; *p; ++p) {
    if (*p == '&') amp = true;
    else if (*p == ']' && p[1] == ']' && p[2] == '>') failAt(p, "\"]]>\" is not allowed in text");
  }
  if (amp) decode(value);
}

// Decodes the references of an in-place value; the result is never longer.
void Checker::decode(const char* value) {
  char* r = const_cast<char*>(std::strchr(value, '&'));
  char* w = r;
  while (*r) {
    if (*r != '&') {
      *w++ = *r++;
      continue;
    }
    char* name = r + 1;
    char* semi = name;
    while (*semi && *semi != ';' && *semi != '&' && *semi != '<' && !detail::isXmlSpace(*semi) &&
           semi - name < 64)
      ++semi;
    if (*semi != ';' || semi == name)
      failAt(r, "\"&\" must start a reference such as \"&amp;\"");
    std::string_view ref(name, semi - name);
    if (ref[0] == '#') {
      uint32_t cp = 0;
      bool hexForm = ref.size() > 1 && ref[1] == 'x';
      std::string_view digits = ref.substr(hexForm ? 2 : 1);
      bool ok = !digits.empty();
      for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hexForm && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hexForm && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else { ok = false; break; }
        cp = cp * (hexForm ? 16 : 10) + d;
        if (cp > 0x10FFFF) { ok = false; break; }
      }
      if (!ok || !isXmlChar(cp)) failAt(r, "\"&" + std::string(ref) + ";\" is not a valid character reference");
      w = putUtf8(w, cp);
    } else if (ref == "amp") {
      *w++ = '&';
    } else if (ref == "lt") {
      *w++ = '<';
    } else if (ref == "gt") {
      *w++ = '>';
    } else if (ref == "quot") {
      *w++ = '"';
    } else if (ref == "apos") {
      *w++ = '\'';
    } else {
      failAt(r, "the entity \"" + std::string(ref) + "\" was referenced, but not declared");
    }
    r = semi + 1;
  }
  *w = '\0';
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
  Checker(source, buffer).document(data->doc);
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
