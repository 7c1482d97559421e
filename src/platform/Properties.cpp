#include "platform/Properties.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <functional>

#include "platform/Date.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace platform {

// Cuts a stream of UTF-16 code units into logical lines: comment and blank
// lines are skipped, leading blanks dropped, continuation lines joined.
class Properties::LineReader {
 public:
  // refill replaces the buffer by the next piece; false at the end.
  explicit LineReader(std::function<bool(std::u16string&)> refill) : refill_(std::move(refill)) {}

  bool readLine(std::u16string& line);

 private:
  bool next(char16_t& c) {
    while (position_ >= buffer_.size()) {
      if (ended_) return false;
      position_ = 0;
      buffer_.clear();
      if (!refill_(buffer_)) ended_ = true;
    }
    c = buffer_[position_++];
    return true;
  }
  // Takes the ordinary characters and escape pairs (a backslash and the
  // character after it) that follow in the buffer in one piece, up to a
  // line end or a backslash whose pair is not wholly in the buffer or would
  // end the line: those the character loop decides. Called only where no
  // backslash is pending.
  void takeRun(std::u16string* line, bool& precedingBackslash) {
    const size_t size = buffer_.size();
    const char16_t* units = buffer_.data();
    size_t end = position_;
    while (end < size) {
      char16_t c = units[end];
      if (c == '\n' || c == '\r') break;
      if (c == '\\') {
        if (end + 1 >= size || units[end + 1] == '\n' || units[end + 1] == '\r') break;
        end += 2;
      } else {
        ++end;
      }
    }
    if (end == position_) return;
    if (line) line->append(buffer_, position_, end - position_);
    position_ = end;
    precedingBackslash = false;
  }
  // Takes the character after an escaping backslash when the buffer holds
  // it and it ends no line: the common escapes skip a round of the loop.
  bool takeEscaped(std::u16string* line, char16_t& c) {
    if (position_ >= buffer_.size()) return false;
    c = buffer_[position_];
    if (c == '\n' || c == '\r') return false;
    ++position_;
    if (line) line->push_back(c);
    return true;
  }
  bool atEnd() {
    char16_t c;
    if (!next(c)) return true;
    --position_;
    return false;
  }

  std::function<bool(std::u16string&)> refill_;
  std::u16string buffer_;
  size_t position_ = 0;
  bool ended_ = false;
};

bool Properties::LineReader::readLine(std::u16string& line) {
  line.clear();
  bool skipWhiteSpace = true;
  bool commentLine = false;
  bool newLine = true;
  bool appendedLineBegin = false;
  bool precedingBackslash = false;
  bool skipLineFeed = false;
  char16_t c;
  for (;;) {
    if (!next(c)) {
      if (line.empty() || commentLine) return false;
      if (precedingBackslash) line.pop_back();
      return true;
    }
    if (skipLineFeed) {
      skipLineFeed = false;
      if (c == '\n') continue;
    }
    if (skipWhiteSpace) {
      if (c == ' ' || c == '\t' || c == '\f') continue;
      if (!appendedLineBegin && (c == '\r' || c == '\n')) continue;
      skipWhiteSpace = false;
      appendedLineBegin = false;
    }
    if (newLine) {
      newLine = false;
      if (c == '#' || c == '!') {
        commentLine = true;
        continue;
      }
    }
    if (c != '\n' && c != '\r') {
      if (!commentLine) line.push_back(c);
      precedingBackslash = c == '\\' ? !precedingBackslash : false;
      if (c == '\\') {
        char16_t escaped;
        if (!precedingBackslash || !takeEscaped(commentLine ? nullptr : &line, escaped)) continue;
        precedingBackslash = false;
        if (escaped == '\\') continue;
      }
      takeRun(commentLine ? nullptr : &line, precedingBackslash);
      continue;
    }
    // The end of a physical line.
    if (commentLine || line.empty()) {
      commentLine = false;
      newLine = true;
      skipWhiteSpace = true;
      precedingBackslash = false;
      line.clear();
      continue;
    }
    if (atEnd()) {
      if (precedingBackslash) line.pop_back();
      return true;
    }
    if (!precedingBackslash) return true;
    // Continuation: drop the backslash and the next line's leading blanks.
    line.pop_back();
    skipWhiteSpace = true;
    appendedLineBegin = true;
    precedingBackslash = false;
    if (c == '\r') skipLineFeed = true;
  }
}

namespace {

bool isBlank(char16_t c) { return c == ' ' || c == '\t' || c == '\f'; }

int hexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Writes UTF-16 code units as UTF-8, pairing surrogates; an unpaired one
// becomes "?", as the platform's encoder writes it. Writes through a
// pointer into text sized ahead and cut to length by finish(): a check of
// the room per piece instead of per byte.
class Utf8Builder {
 public:
  // units is how many code units are expected; more only cost a regrowth.
  explicit Utf8Builder(size_t units) : out_(units + kMostPerUnit, '\0') {
    next_ = out_.data();
    end_ = next_ + out_.size();
  }

  void add(char16_t c) {
    makeRoom(kMostPerUnit);
    if (c < 0x80 && !high_) {
      *next_++ = static_cast<char>(c);
      return;
    }
    if (high_) {
      char16_t high = high_;
      high_ = 0;
      if (U16_IS_TRAIL(c)) {
        appendCodePoint(U16_GET_SUPPLEMENTARY(high, c));
        return;
      }
      *next_++ = '?';
    }
    if (U16_IS_LEAD(c)) {
      high_ = c;
    } else if (U16_IS_TRAIL(c)) {
      *next_++ = '?';
    } else {
      appendCodePoint(c);
    }
  }
  // Adds the code units of in from at on while they are below 0x80 and not
  // "\\", there is room for them and no unpaired high surrogate waits;
  // returns the index of the first unit not added.
  size_t addAscii(std::u16string_view in, size_t at) {
    if (high_) return at;
    char* next = next_;
    const size_t room = static_cast<size_t>(end_ - next);
    const size_t end = at + std::min(room, in.size() - at);
    const char16_t* units = in.data();
    while (at < end && units[at] < 0x80 && units[at] != '\\') *next++ = static_cast<char>(units[at++]);
    next_ = next;
    return at;
  }
  std::string finish() {
    makeRoom(1);
    if (high_) *next_++ = '?';
    high_ = 0;
    out_.resize(static_cast<size_t>(next_ - out_.data()));
    return std::move(out_);
  }

 private:
  // A "?" and a code point, or a pair's four bytes.
  static constexpr size_t kMostPerUnit = 4;

  void makeRoom(size_t n) {
    if (static_cast<size_t>(end_ - next_) < n) grow(n);
  }
  void grow(size_t n) {
    const size_t used = static_cast<size_t>(next_ - out_.data());
    out_.resize(std::max(out_.size() * 2, used + n));
    next_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }
  void appendCodePoint(UChar32 c) {
    auto* bytes = reinterpret_cast<uint8_t*>(next_);
    int32_t length = 0;
    U8_APPEND_UNSAFE(bytes, length, c);
    next_ += length;
  }

  std::string out_;
  char* next_;
  char* end_;
  char16_t high_ = 0;
};

// Resolves the escapes of one key or value.
std::string unescape(std::u16string_view in) {
  Utf8Builder out(in.size());
  size_t i = 0;
  while (i < in.size()) {
    i = out.addAscii(in, i);
    if (i >= in.size()) break;
    char16_t c = in[i++];
    if (c != '\\') {
      out.add(c);
      continue;
    }
    if (i >= in.size()) break;  // a lone backslash at the end stands for nothing
    c = in[i++];
    if (c == 'u') {
      if (in.size() - i < 4) throw IllegalArgumentException("Malformed \\uxxxx encoding.");
      int value = 0;
      for (int k = 0; k < 4; ++k) {
        int digit = hexValue(in[i++]);
        if (digit < 0) throw IllegalArgumentException("Malformed \\uxxxx encoding.");
        value = (value << 4) | digit;
      }
      out.add(static_cast<char16_t>(value));
      continue;
    }
    switch (c) {
      case 't': c = '\t'; break;
      case 'r': c = '\r'; break;
      case 'n': c = '\n'; break;
      case 'f': c = '\f'; break;
      default: break;
    }
    out.add(c);
  }
  return out.finish();
}

const char kHex[] = "0123456789ABCDEF";

void appendUnicodeEscape(std::string& out, char16_t c) {
  out += "\\u";
  out.push_back(kHex[(c >> 12) & 0xF]);
  out.push_back(kHex[(c >> 8) & 0xF]);
  out.push_back(kHex[(c >> 4) & 0xF]);
  out.push_back(kHex[c & 0xF]);
}

// The escaped form of a key (escapeSpace) or value, all in ASCII. Works on
// the UTF-8 bytes; a character beyond ASCII is escaped per UTF-16 code unit.
std::string escape(std::string_view text, bool escapeSpace) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 8);
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    uint8_t c = s[i];
    if (c > 61 && c < 127) {
      if (c == '\\') out.push_back('\\');
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (c >= 0x80) {
      UChar32 cp;
      U8_NEXT(s, i, length, cp);
      if (cp < 0) cp = 0xFFFD;
      if (cp >= 0x10000) {
        appendUnicodeEscape(out, static_cast<char16_t>(U16_LEAD(cp)));
        appendUnicodeEscape(out, static_cast<char16_t>(U16_TRAIL(cp)));
      } else {
        appendUnicodeEscape(out, static_cast<char16_t>(cp));
      }
      continue;
    }
    switch (c) {
      case ' ':
        if (i == 0 || escapeSpace) out.push_back('\\');
        out.push_back(' ');
        break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\f': out += "\\f"; break;
      case '=':
      case ':':
      case '#':
      case '!':
        out.push_back('\\');
        out.push_back(static_cast<char>(c));
        break;
      default:
        if (c < 0x20 || c > 0x7E) {
          appendUnicodeEscape(out, c);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  return out;
}

// The comment as "#" lines in ISO-8859-1: characters above U+00FF as
// \uXXXX; every line break starts a new comment line unless the next line
// already begins with "#" or "!".
std::string commentLines(std::string_view comments) {
  std::u16string units = Strings::toUtf16(comments);
  std::string out = "#";
  size_t length = units.size();
  for (size_t current = 0; current < length; ++current) {
    char16_t c = units[current];
    if (c > 0xFF) {
      appendUnicodeEscape(out, c);
    } else if (c == '\n' || c == '\r') {
      out.push_back('\n');
      if (c == '\r' && current + 1 < length && units[current + 1] == '\n') ++current;
      if (current == length - 1 || (units[current + 1] != '#' && units[current + 1] != '!')) {
        out.push_back('#');
      }
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  out.push_back('\n');
  return out;
}

}  // namespace

std::optional<std::string> Properties::getProperty(std::string_view key) const {
  auto it = index_.find(std::string(key));
  if (it == index_.end()) return std::nullopt;
  return entries_[it->second].second;
}

std::string Properties::getProperty(std::string_view key, std::string_view defaultValue) const {
  auto value = getProperty(key);
  return value ? *value : std::string(defaultValue);
}

std::optional<std::string> Properties::setProperty(std::string_view key, std::string_view value) {
  std::string k(key);
  auto it = index_.find(k);
  if (it != index_.end()) {
    std::string old = std::move(entries_[it->second].second);
    entries_[it->second].second = std::string(value);
    return old;
  }
  index_.emplace(k, entries_.size());
  entries_.emplace_back(std::move(k), std::string(value));
  return std::nullopt;
}

void Properties::put(std::string key, std::string value) {
  auto it = index_.find(key);
  if (it != index_.end()) {
    entries_[it->second].second = std::move(value);
    return;
  }
  index_.emplace(key, entries_.size());
  entries_.emplace_back(std::move(key), std::move(value));
}

std::optional<std::string> Properties::remove(std::string_view key) {
  auto it = index_.find(std::string(key));
  if (it == index_.end()) return std::nullopt;
  size_t at = it->second;
  index_.erase(it);
  std::string old = std::move(entries_[at].second);
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
  for (size_t i = at; i < entries_.size(); ++i) index_[entries_[i].first] = i;
  return old;
}

std::vector<std::string> Properties::keys() const {
  std::vector<std::string> keys;
  keys.reserve(entries_.size());
  for (const auto& entry : entries_) keys.push_back(entry.first);
  return keys;
}

void Properties::clear() {
  entries_.clear();
  index_.clear();
}

void Properties::loadLines(LineReader& lines) {
  std::u16string line;
  while (lines.readLine(line)) {
    size_t limit = line.size();
    size_t keyLength = 0;
    size_t valueStart = limit;
    bool hasSeparator = false;
    bool precedingBackslash = false;
    while (keyLength < limit) {
      char16_t c = line[keyLength];
      if ((c == '=' || c == ':') && !precedingBackslash) {
        valueStart = keyLength + 1;
        hasSeparator = true;
        break;
      }
      if (isBlank(c) && !precedingBackslash) {
        valueStart = keyLength + 1;
        break;
      }
      precedingBackslash = c == '\\' ? !precedingBackslash : false;
      ++keyLength;
    }
    while (valueStart < limit) {
      char16_t c = line[valueStart];
      if (!isBlank(c)) {
        if (hasSeparator || (c != '=' && c != ':')) break;
        hasSeparator = true;
      }
      ++valueStart;
    }
    std::u16string_view view(line);
    put(unescape(view.substr(0, keyLength)), unescape(view.substr(valueStart)));
  }
}

void Properties::load(InputStream& in) {
  LineReader lines([&in](std::u16string& buffer) {
    char bytes[8192];
    int n = in.read(bytes, 0, sizeof bytes);
    if (n < 0) return false;
    // Latin-1: each byte is its code unit. Sized first, so the loop widens
    // many bytes per step.
    buffer.resize(static_cast<size_t>(n));
    char16_t* units = buffer.data();
    for (int i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
    return true;
  });
  loadLines(lines);
}

void Properties::load(Reader& in) {
  LineReader lines([&in](std::u16string& buffer) {
    std::string text;
    if (in.read(text) < 0) return false;
    buffer = Strings::toUtf16(text);
    return true;
  });
  loadLines(lines);
}

void Properties::store(OutputStream& out, const std::optional<std::string>& comments) const {
  std::string text;
  if (comments) text += commentLines(*comments);
  text += "#" + Date::now().toString() + "\n";
  for (const auto& [key, value] : entries_) {
    text += escape(key, true);
    text.push_back('=');
    text += escape(value, false);
    text.push_back('\n');
  }
  out.write(text.data(), 0, static_cast<int>(text.size()));
  out.flush();
}

}  // namespace platform
