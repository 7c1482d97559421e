#include "xml/SourceChecker.h"

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>

#include "xml/DocumentException.h"
#include "xml/Names.h"

namespace xml::detail {

namespace {

bool isXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

constexpr std::array<bool, 256> makeTextStops() {
  std::array<bool, 256> t{};
  t['<'] = t['&'] = t[']'] = true;
  return t;
}
constexpr std::array<bool, 256> kTextStops = makeTextStops();

constexpr std::array<bool, 256> makeNameEnds() {
  std::array<bool, 256> t{};
  t[' '] = t['\t'] = t['\n'] = t['\r'] = t['\f'] = true;
  t['/'] = t['>'] = t['='] = t['?'] = true;
  return t;
}
constexpr std::array<bool, 256> kNameEnds = makeNameEnds();

constexpr std::array<bool, 256> makeValueStops() {
  std::array<bool, 256> t{};
  t['"'] = t['\''] = t['<'] = t['&'] = true;
  return t;
}
constexpr std::array<bool, 256> kValueStops = makeValueStops();

// Tags with more attributes than this check for repeats by hashing.
constexpr size_t kShortTag = 16;

bool endsName(char c) { return kNameEnds[static_cast<unsigned char>(c)]; }

}  // namespace

void SourceChecker::fail(size_t at, const std::string& what) const {
  if (at > s_.size()) at = s_.size();
  size_t line = 1, column = 1;
  for (size_t k = 0; k < at; ++k) {
    unsigned char c = static_cast<unsigned char>(s_[k]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  throw DocumentException("Error on line " + std::to_string(line) + ", column " + std::to_string(column) +
                          ": " + what);
}

size_t SourceChecker::skipPast(size_t from, std::string_view end) const {
  size_t at = s_.find(end, from);
  return at == std::string_view::npos ? s_.size() : at + end.size();
}

void SourceChecker::run() {
  const size_t n = s_.size();
  while (i_ < n) {
    char c = s_[i_];
    if (c != '<') {
      if (depth_ > 0) {
        text();
      } else {
        if (!isXmlSpace(c)) fail(i_, "content is not allowed outside the root element");
        ++i_;
      }
      continue;
    }
    std::string_view rest = s_.substr(i_);
    if (rest.starts_with("<!--")) {
      i_ = skipPast(i_ + 4, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      if (depth_ == 0) fail(i_, "content is not allowed outside the root element");
      i_ = skipPast(i_ + 9, "]]>");
    } else if (rest.starts_with("<!")) {
      doctype();
    } else if (rest.starts_with("<?")) {
      processingInstruction();
    } else if (rest.starts_with("</")) {
      endTag();
    } else {
      startTag();
    }
  }
  if (roots_ == 0) fail(n, "the document has no root element");
}

void SourceChecker::text() {
  const size_t n = s_.size();
  while (i_ < n) {
    char c = s_[i_];
    if (!kTextStops[static_cast<unsigned char>(c)]) {
      ++i_;
    } else if (c == '<') {
      return;
    } else if (c == '&') {
      reference(i_);
    } else {
      if (s_.substr(i_, 3) == "]]>") fail(i_, "\"]]>\" is not allowed in text");
      ++i_;
    }
  }
}

// Checks the reference that starts with "&" at at; leaves i_ after it.
void SourceChecker::reference(size_t at) {
  size_t semi = at + 1;
  while (semi < s_.size() && semi - at <= 64) {
    char c = s_[semi];
    if (c == ';' || c == '&' || c == '<' || c == '"' || c == '\'' || isXmlSpace(c)) break;
    ++semi;
  }
  if (semi >= s_.size() || s_[semi] != ';' || semi == at + 1)
    fail(at, "\"&\" must start a reference such as \"&amp;\"");
  std::string_view ref = s_.substr(at + 1, semi - at - 1);
  if (ref[0] == '#') {
    bool hexForm = ref.size() > 1 && ref[1] == 'x';
    std::string_view digits = ref.substr(hexForm ? 2 : 1);
    uint32_t cp = 0;
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
    if (!ok || !isXmlChar(cp)) fail(at, "\"&" + std::string(ref) + ";\" is not a valid character reference");
  } else if (ref != "amp" && ref != "lt" && ref != "gt" && ref != "quot" && ref != "apos") {
    fail(at, "the entity \"" + std::string(ref) + "\" was referenced, but not declared");
  }
  i_ = semi + 1;
}

void SourceChecker::processingInstruction() {
  size_t start = i_ + 2, end = start;
  while (end < s_.size() && !endsName(s_[end])) ++end;
  if (s_.substr(start, end - start) == "xml" && i_ != 0) fail(start, "the XML declaration must come first");
  i_ = skipPast(end, "?>");
}

// Index after the quoted text that starts at j, or the end of the source.
size_t SourceChecker::skipQuoted(size_t j) const {
  size_t close = s_.find(s_[j], j + 1);
  return close == std::string_view::npos ? s_.size() : close + 1;
}

// "<!DOCTYPE" name, an optional external id, an optional internal subset in
// brackets (declarations, comments, instructions, parameter references),
// ">". Checked strictly, so that this pass and the parser agree on where
// the declaration ends; nothing of it is loaded or used.
void SourceChecker::doctype() {
  const size_t n = s_.size();
  if (s_.substr(i_, 9) != "<!DOCTYPE" || depth_ > 0 || roots_ > 0)
    fail(i_, "malformed document type declaration");
  size_t j = i_ + 9;
  while (j < n && s_[j] != '[' && s_[j] != '>') {
    if (s_[j] == '"' || s_[j] == '\'') j = skipQuoted(j);
    else ++j;
  }
  if (j < n && s_[j] == '[') {
    ++j;
    for (;;) {
      while (j < n && isXmlSpace(s_[j])) ++j;
      if (j >= n) fail(j, "malformed document type declaration");
      std::string_view rest = s_.substr(j);
      if (rest[0] == ']') {
        ++j;
        while (j < n && isXmlSpace(s_[j])) ++j;
        break;
      } else if (rest.starts_with("<!--")) {
        j = skipPast(j + 4, "-->");
      } else if (rest.starts_with("<?")) {
        j = skipPast(j + 2, "?>");
      } else if (rest.starts_with("<!") && rest.size() > 2 && rest[2] >= 'A' && rest[2] <= 'Z') {
        j += 2;
        while (j < n && s_[j] != '>') {
          if (s_[j] == '"' || s_[j] == '\'') j = skipQuoted(j);
          else if (s_[j] == '<') fail(j, "malformed document type declaration");
          else ++j;
        }
        ++j;
      } else if (rest[0] == '%') {
        size_t end = j + 1;
        while (end < n && !endsName(s_[end]) && s_[end] != ';' && s_[end] != '%' && s_[end] != '"' &&
               s_[end] != '\'' && s_[end] != '<' && s_[end] != '[' && s_[end] != ']')
          ++end;
        if (end == j + 1 || end >= n || s_[end] != ';') fail(j, "malformed document type declaration");
        j = end + 1;
      } else {
        fail(j, "malformed document type declaration");
      }
    }
  }
  if (j >= n || s_[j] != '>') fail(j, "malformed document type declaration");
  i_ = j + 1;
}

void SourceChecker::endTag() {
  size_t j = i_ + 2;
  while (j < s_.size() && s_[j] != '>') ++j;
  i_ = j < s_.size() ? j + 1 : j;
  if (depth_ > 0) {
    bound_.resize(marks_.back());
    marks_.pop_back();
    --depth_;
  }
}

void SourceChecker::requireBound(std::string_view prefix, size_t at) const {
  if (prefix.empty() || prefix == "xml" || prefix == "xmlns") return;
  for (auto it = bound_.rbegin(); it != bound_.rend(); ++it)
    if (*it == prefix) return;
  fail(at, "the prefix \"" + std::string(prefix) + "\" is not bound to a namespace");
}

void SourceChecker::startTag() {
  const size_t n = s_.size();
  size_t nameStart = i_ + 1, j = nameStart;
  bool prefixed = false;
  for (; j < n && !endsName(s_[j]); ++j) prefixed = prefixed || s_[j] == ':';
  std::string_view name = s_.substr(nameStart, j - nameStart);
  if (depth_ == 0 && ++roots_ > 1) fail(nameStart, "only one root element is allowed");
  size_t mark = bound_.size();
  attributes_.clear();
  if (!manyAttributes_.empty()) manyAttributes_.clear();
  bool empty = false;
  while (j < n) {
    while (j < n && isXmlSpace(s_[j])) ++j;
    if (j >= n) break;
    if (s_[j] == '>') {
      ++j;
      break;
    }
    if (s_[j] == '/') {
      empty = true;
      while (j < n && s_[j] != '>') ++j;
      if (j < n) ++j;
      break;
    }
    size_t attrStart = j;
    bool colon = false;
    for (; j < n && !endsName(s_[j]); ++j) colon = colon || s_[j] == ':';
    std::string_view attr = s_.substr(attrStart, j - attrStart);
    while (j < n && isXmlSpace(s_[j])) ++j;
    if (j >= n || s_[j] != '=') break;
    ++j;
    while (j < n && isXmlSpace(s_[j])) ++j;
    if (j >= n || (s_[j] != '"' && s_[j] != '\'')) break;
    char quote = s_[j++];
    while (j < n) {
      char c = s_[j];
      if (!kValueStops[static_cast<unsigned char>(c)]) {
        ++j;
        continue;
      }
      if (c == quote) break;
      if (c == '<') fail(j, "\"<\" is not allowed in attribute values");
      if (c == '&') {
        reference(j);
        j = i_;
      } else {
        ++j;
      }
    }
    ++j;
    bool twice = false;
    if (attributes_.size() < kShortTag) {
      for (const auto& [earlier, at] : attributes_) twice = twice || earlier == attr;
    } else {
      if (attributes_.size() == kShortTag)
        for (const auto& [earlier, at] : attributes_) manyAttributes_.insert(earlier);
      twice = !manyAttributes_.insert(attr).second;
    }
    if (twice) fail(attrStart, "attribute \"" + std::string(attr) + "\" appears twice");
    attributes_.emplace_back(attr, attrStart);
    if (!attr.empty() && attr[0] == 'x' && isNamespaceDeclaration(attr)) {
      bound_.push_back(declaredPrefix(attr));
    } else if (colon) {
      prefixed = true;
    }
  }
  if (prefixed) {
    requireBound(prefixOf(name), nameStart);
    for (const auto& [attr, at] : attributes_)
      if (!isNamespaceDeclaration(attr)) requireBound(prefixOf(attr), at);
  }
  i_ = j;
  if (empty) {
    bound_.resize(mark);
  } else {
    marks_.push_back(mark);
    ++depth_;
  }
}

}  // namespace xml::detail
