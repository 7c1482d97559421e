#include "xml/XMLWriter.h"

#include <array>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "xml/DocumentData.h"
#include "xml/Names.h"
#include "xml/OutputBuffer.h"

namespace xml {

namespace {

using detail::OutputBuffer;

using Table = std::array<bool, 256>;

constexpr int kMaxIndentLevel = 64;

constexpr Table makeTable(bool attribute) {
  Table t{};
  t['\0'] = true;  // ends a NUL-terminated text
  t['&'] = t['<'] = t['>'] = true;
  if (attribute) t['"'] = true;
  return t;
}

constexpr Table kTextSpecial = makeTable(false);
constexpr Table kNameEnd = [] {
  Table t{};
  t['\0'] = true;
  return t;
}();
constexpr Table kAttributeSpecial = makeTable(true);

void putEscape(OutputBuffer& out, char c) {
  switch (c) {
    case '&': out.put("&amp;", 5); break;
    case '<': out.put("&lt;", 4); break;
    case '>': out.put("&gt;", 4); break;
    default: out.put("&quot;", 6); break;
  }
}

void appendEscaped(OutputBuffer& out, const char* p, const char* end, const Table& special) {
  const char* run = p;
  for (; p < end; ++p) {
    if (!special[static_cast<unsigned char>(*p)]) continue;
    out.put(run, p - run);
    putEscape(out, *p);
    run = p + 1;
  }
  out.put(run, end - run);
}

// Copies a NUL-terminated text up to its first special character into room
// taken a piece at a time, without measuring it first; returns where it
// stopped. Names and values are short: a byte loop beats strlen and memcpy.
const char* copyRunZ(OutputBuffer& out, const char* p, const Table& special) {
  constexpr size_t kPiece = 64;
  for (;;) {
    char* start = out.room(kPiece);
    char* stop = start + kPiece;
    char* dst = start;
    while (dst != stop && !special[static_cast<unsigned char>(*p)]) *dst++ = *p++;
    out.advance(static_cast<size_t>(dst - start));
    if (dst != stop) return p;
  }
}

// appendEscaped over a NUL-terminated text.
void appendEscapedZ(OutputBuffer& out, const char* p, const Table& special) {
  for (;;) {
    p = copyRunZ(out, p, special);
    if (*p == '\0') return;
    putEscape(out, *p++);
  }
}

// A NUL-terminated name, which needs no escapes; returns it as a view.
std::string_view appendNameZ(OutputBuffer& out, const char* name) {
  return std::string_view(name, static_cast<size_t>(copyRunZ(out, name, kNameEnd) - name));
}

// "xmlns" or "xmlns:..." without measuring the name.
bool isDeclarationZ(const char* name) {
  return name[0] == 'x' && name[1] == 'm' && name[2] == 'l' && name[3] == 'n' && name[4] == 's' &&
         (name[5] == '\0' || name[5] == ':');
}

// Appends the words of text separated by one blank; false when there were none.
bool appendTrimmed(OutputBuffer& out, std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  bool first = true;
  while (p < end) {
    while (p < end && detail::isXmlSpace(*p)) ++p;
    if (p == end) break;
    const char* word = p;
    while (p < end && !detail::isXmlSpace(*p)) ++p;
    if (!first) out.put(' ');
    first = false;
    appendEscaped(out, word, p, kTextSpecial);
  }
  return !first;
}

bool hasWords(std::string_view text) {
  for (char c : text)
    if (!detail::isXmlSpace(c)) return true;
  return false;
}

// One writing of one element tree or document, walking without recursion.
class Walk {
 public:
  Walk(const OutputFormat& format, OutputBuffer& out) : format_(format), out_(out) {}

  // Writes element and its subtree; level is its indentation level.
  void element(pugi::xml_node start, int level);
  // A comment or processing instruction.
  void leaf(pugi::xml_node n);

 private:
  struct Frame {
    pugi::xml_node element;
    std::string_view name;
    bool block;  // children on lines of their own
    size_t nsMark;
  };
  using Binding = std::pair<std::string_view, std::string_view>;
  using NameValue = std::pair<const char*, const char*>;

  void collectOuterBindings(pugi::xml_node start);
  // Writes the start tag of n, or the whole element when it has no content
  // (false); fills frame for the end tag and first with the first child.
  bool openTag(pugi::xml_node n, Frame& frame, pugi::xml_node& first);
  void ensureDeclared(std::string_view prefix);
  void attribute(std::string_view name, std::string_view value);
  void attribute(const char* name, const char* value);
  bool isBlock(pugi::xml_node n) const;
  void newline(int level);
  pugi::xml_node textRun(pugi::xml_node first, bool block, int level);

  const OutputFormat& format_;
  OutputBuffer& out_;
  std::vector<Frame> frames_;
  std::vector<NameValue> attributes_;  // of the tag being written
  // Prefix bindings in force outside the written tree; only when it has some
  // does the walk track the declarations it has written.
  std::vector<Binding> outer_;
  std::vector<Binding> written_;
  std::string joined_;
};

void Walk::collectOuterBindings(pugi::xml_node start) {
  for (pugi::xml_node n = start.parent(); n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      std::string_view name = a.name();
      if (!detail::isNamespaceDeclaration(name)) continue;
      std::string_view prefix = detail::declaredPrefix(name);
      bool shadowed = false;
      for (const Binding& b : outer_) shadowed = shadowed || b.first == prefix;
      if (!shadowed) outer_.emplace_back(prefix, a.value());
    }
  }
}

void Walk::attribute(std::string_view name, std::string_view value) {
  out_.put(' ');
  out_.put(name);
  out_.put("=\"", 2);
  appendEscaped(out_, value.data(), value.data() + value.size(), kAttributeSpecial);
  out_.put('"');
}

void Walk::attribute(const char* name, const char* value) {
  out_.put(' ');
  appendNameZ(out_, name);
  out_.put("=\"", 2);
  appendEscapedZ(out_, value, kAttributeSpecial);
  out_.put('"');
}

void Walk::ensureDeclared(std::string_view prefix) {
  if (prefix == "xml") return;
  for (auto it = written_.rbegin(); it != written_.rend(); ++it)
    if (it->first == prefix) return;
  for (const Binding& b : outer_) {
    if (b.first != prefix) continue;
    if (!b.second.empty()) {
      attribute(prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix), b.second);
      written_.push_back(b);
    }
    return;
  }
}

// The attributes are fetched once: declarations are written first, then the
// inherited ones the names need, then the others.
bool Walk::openTag(pugi::xml_node n, Frame& frame, pugi::xml_node& first) {
  frame.element = n;
  frame.nsMark = written_.size();
  out_.put('<');
  frame.name = appendNameZ(out_, n.name());
  bool tracking = !outer_.empty();
  bool declarations = false;
  attributes_.clear();
  for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
    const char* name = a.name();
    const char* value = a.value();
    attributes_.emplace_back(name, value);
    if (!isDeclarationZ(name)) continue;
    declarations = true;
    attribute(name, value);
    if (tracking) written_.emplace_back(detail::declaredPrefix(name), value);
  }
  if (tracking) {
    ensureDeclared(detail::prefixOf(frame.name));
    for (const NameValue& a : attributes_) {
      std::string_view name = a.first;
      std::string_view prefix = detail::prefixOf(name);
      if (!prefix.empty() && !detail::isNamespaceDeclaration(name)) ensureDeclared(prefix);
    }
  }
  for (const NameValue& a : attributes_) {
    if (!declarations || !isDeclarationZ(a.first)) attribute(a.first, a.second);
  }
  first = n.first_child();
  if (!first) {
    out_.put("/>", 2);
    written_.resize(frame.nsMark);
    return false;
  }
  out_.put('>');
  return true;
}

bool Walk::isBlock(pugi::xml_node n) const {
  if (!format_.newlines) return false;
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
    pugi::xml_node_type t = c.type();
    if (t == pugi::node_element || t == pugi::node_comment || t == pugi::node_pi) return true;
  }
  return false;
}

void Walk::newline(int level) {
  out_.put(format_.lineSeparator);
  // Indentation stops growing at kMaxIndentLevel, so that absurdly deep
  // trees give output linear in their size.
  if (level > kMaxIndentLevel) level = kMaxIndentLevel;
  for (int i = 0; i < level; ++i) out_.put(format_.indent);
}

// Writes the run of adjacent text nodes that begins at first; returns the
// node after it.
pugi::xml_node Walk::textRun(pugi::xml_node first, bool block, int level) {
  pugi::xml_node next = first.next_sibling();
  if (!format_.trimText) {
    appendEscapedZ(out_, first.value(), kTextSpecial);
    return next;
  }
  std::string_view text = first.value();
  if (next && next.type() == pugi::node_pcdata) {
    joined_.assign(text);
    for (; next && next.type() == pugi::node_pcdata; next = next.next_sibling()) joined_ += next.value();
    text = joined_;
  }
  if (hasWords(text)) {
    if (block) newline(level);
    appendTrimmed(out_, text);
  }
  return next;
}

void Walk::leaf(pugi::xml_node n) {
  if (n.type() == pugi::node_comment) {
    out_.put("<!--", 4);
    out_.putZ(n.value());
    out_.put("-->", 3);
  } else if (n.type() == pugi::node_pi) {
    out_.put("<?", 2);
    out_.putZ(n.name());
    std::string_view value = n.value();
    if (!value.empty()) {
      out_.put(' ');
      out_.put(value);
    }
    out_.put("?>", 2);
  }
}

void Walk::element(pugi::xml_node start, int level) {
  collectOuterBindings(start);
  Frame frame;
  pugi::xml_node cur;
  if (!openTag(start, frame, cur)) return;
  frame.block = isBlock(start);
  frames_.push_back(frame);
  while (!frames_.empty()) {
    int childLevel = level + static_cast<int>(frames_.size());
    Frame& top = frames_.back();
    if (!cur) {
      Frame done = top;
      frames_.pop_back();
      if (done.block) newline(childLevel - 1);
      out_.put("</", 2);
      out_.put(done.name);
      out_.put('>');
      written_.resize(done.nsMark);
      if (frames_.empty()) break;
      cur = done.element.next_sibling();
      continue;
    }
    bool block = top.block;
    switch (cur.type()) {
      case pugi::node_pcdata:
        cur = textRun(cur, block, childLevel);
        break;
      case pugi::node_cdata:
        if (block) newline(childLevel);
        out_.put("<![CDATA[", 9);
        out_.putZ(cur.value());
        out_.put("]]>", 3);
        cur = cur.next_sibling();
        break;
      case pugi::node_comment:
      case pugi::node_pi:
        if (block) newline(childLevel);
        leaf(cur);
        cur = cur.next_sibling();
        break;
      case pugi::node_element:
        if (block) newline(childLevel);
        if (pugi::xml_node first; openTag(cur, frame, first)) {
          frame.block = isBlock(cur);
          frames_.push_back(frame);
          cur = first;
        } else {
          cur = cur.next_sibling();
        }
        break;
      default:
        cur = cur.next_sibling();
        break;
    }
  }
}

}  // namespace

void XMLWriter::write(const Element& element, std::string& out) const {
  pugi::xml_node node = element.node();
  OutputBuffer buffer(out);
  Walk(format_, buffer).element(node, 0);
  buffer.finish();
}

void XMLWriter::write(const Document& document, std::string& out) const {
  OutputBuffer buffer(out);
  buffer.put("<?xml version=\"1.0\" encoding=\"", 30);
  buffer.put(format_.encoding);
  buffer.put("\"?>", 3);
  buffer.put(format_.lineSeparator);
  const detail::DocumentData& data = *document.data_;
  for (pugi::xml_node n = data.doc.first_child(); n; n = n.next_sibling()) {
    pugi::xml_node_type t = n.type();
    if (t == pugi::node_element && n != data.removed) {
      Walk(format_, buffer).element(n, 0);
    } else if (t == pugi::node_comment || t == pugi::node_pi) {
      Walk(format_, buffer).leaf(n);
    } else {
      continue;
    }
    if (format_.newlines) buffer.put(format_.lineSeparator);
  }
  buffer.finish();
}

std::string XMLWriter::toString(const Element& element) const {
  std::string out;
  write(element, out);
  return out;
}

std::string XMLWriter::toString(const Document& document) const {
  std::string out;
  write(document, out);
  return out;
}

}  // namespace xml
