#include "platform/Strings.h"

#include <unicode/uchar.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/Exceptions.h"

namespace platform {
namespace {

// Decodes one code point at text[i]; advances i; returns U+FFFD for a
// malformed sequence (consuming its maximal ill-formed prefix).
char32_t decodeOne(std::string_view text, size_t& i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int need;
  char32_t cp;
  char32_t min;
  if (c >= 0xC2 && c <= 0xDF) {
    need = 1, cp = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    need = 2, cp = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    need = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++i;
    return 0xFFFD;
  }
  size_t j = i + 1;
  for (int k = 0; k < need; ++k, ++j) {
    if (j >= text.size()) {
      i = j;
      return 0xFFFD;
    }
    unsigned char d = static_cast<unsigned char>(text[j]);
    if ((d & 0xC0) != 0x80) {
      i = j;
      return 0xFFFD;
    }
    cp = (cp << 6) | (d & 0x3F);
  }
  i = j;
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
  return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char16_t foldCase(char16_t c) {
  return static_cast<char16_t>(u_tolower(u_toupper(c)));
}

template <typename Int>
Int parseDecimal(std::string_view text) {
  auto fail = [&]() -> Int {
    throw NumberFormatException("For input string: \"" + std::string(text) + "\"");
  };
  if (text.empty()) fail();
  // A leading sign, "+" as well as "-", as the platform's parser takes it.
  bool negative = text[0] == '-';
  size_t i = negative || text[0] == '+' ? 1 : 0;
  if (i == text.size()) fail();
  using U = std::make_unsigned_t<Int>;
  U limit = negative ? static_cast<U>(std::numeric_limits<Int>::max()) + 1
                     : static_cast<U>(std::numeric_limits<Int>::max());
  U value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') fail();
    U digit = static_cast<U>(c - '0');
    if (value > (limit - digit) / 10) fail();
    value = value * 10 + digit;
  }
  return negative ? static_cast<Int>(U(0) - value) : static_cast<Int>(value);
}


// The UTF-16 code units of UTF-8 text one at a time, decoded as toUtf16
// does, so that comparisons need no converted copies.
class Utf16Cursor {
 public:
  Utf16Cursor(std::string_view text, size_t at) : text_(text), at_(at) {}

  bool done() const { return low_ == 0 && at_ >= text_.size(); }

  char16_t next() {
    if (low_ != 0) {
      const char16_t low = low_;
      low_ = 0;
      return low;
    }
    char32_t cp = decodeOne(text_, at_);
    if (cp < 0x10000) return static_cast<char16_t>(cp);
    cp -= 0x10000;
    low_ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    return static_cast<char16_t>(0xD800 + (cp >> 10));
  }

  // Code units not yet returned.
  size_t remaining() const { return (low_ != 0 ? 1 : 0) + Strings::utf16Length(text_.substr(at_)); }

 private:
  std::string_view text_;
  size_t at_;
  char16_t low_ = 0;  // the second half of a pair still to return
};

// Where two texts may start to decode differently: the end of their common
// bytes, moved back to just after an ASCII byte. An ASCII byte is never part
// of a longer sequence, so both texts decode the same code units up to there.
size_t sharedPrefix(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  while (i > 0 && static_cast<unsigned char>(a[i - 1]) >= 0x80) --i;
  return i;
}

}  // namespace

std::u16string Strings::toUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    char32_t cp = decodeOne(utf8, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Strings::fromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char16_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back('?');
    } else {
      appendUtf8(out, c);
    }
  }
  return out;
}

size_t Strings::utf16Length(std::string_view utf8) {
  size_t n = 0;
  size_t i = 0;
  while (i < utf8.size()) {
    // An ASCII byte is one unit; only other bytes need decoding.
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ++n;
      ++i;
      continue;
    }
    n += decodeOne(utf8, i) >= 0x10000 ? 2 : 1;
  }
  return n;
}

std::string Strings::fromCodePoint(char32_t c) {
  std::string out;
  appendUtf8(out, c);
  return out;
}

std::string Strings::trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> Strings::split(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (separator.empty() || text.find(separator) == std::string_view::npos) {
    pieces.emplace_back(text);
    return pieces;
  }
  size_t start = 0;
  for (;;) {
    size_t hit = text.find(separator, start);
    if (hit == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, hit - start));
    start = hit + separator.size();
  }
  while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
  return pieces;
}

std::string Strings::replace(std::string_view text, std::string_view target,
                             std::string_view replacement) {
  if (target.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t start = 0;
  for (;;) {
    size_t hit = text.find(target, start);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(start, hit - start));
    out.append(replacement);
    start = hit + target.size();
  }
  out.append(text.substr(start));
  return out;
}

int Strings::compareTo(std::string_view a, std::string_view b) {
  const size_t start = sharedPrefix(a, b);
  Utf16Cursor x(a, start);
  Utf16Cursor y(b, start);
  while (!x.done() && !y.done()) {
    const char16_t p = x.next();
    const char16_t q = y.next();
    if (p != q) return static_cast<int>(p) - static_cast<int>(q);
  }
  return static_cast<int>(x.remaining()) - static_cast<int>(y.remaining());
}

int Strings::compareToIgnoreCase(std::string_view a, std::string_view b) {
  const size_t start = sharedPrefix(a, b);
  Utf16Cursor x(a, start);
  Utf16Cursor y(b, start);
  while (!x.done() && !y.done()) {
    const char16_t p = x.next();
    const char16_t q = y.next();
    if (p == q) continue;
    const char16_t foldedP = foldCase(p);
    const char16_t foldedQ = foldCase(q);
    if (foldedP != foldedQ) return static_cast<int>(foldedP) - static_cast<int>(foldedQ);
  }
  return static_cast<int>(x.remaining()) - static_cast<int>(y.remaining());
}

bool Strings::isAscii(std::string_view bytes) {
  // Eight bytes a step: their high bits are gathered and tested once.
  const char* p = bytes.data();
  size_t n = bytes.size();
  uint64_t high = 0;
  for (; n >= 8; p += 8, n -= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    high |= word;
  }
  for (; n > 0; ++p, --n) high |= static_cast<unsigned char>(*p);
  return (high & 0x8080808080808080ull) == 0;
}

// ASCII text maps byte for byte under the root locale's rules; only other
// text needs the full Unicode mapping.
std::string Strings::toLowerCase(std::string_view text) {
  if (isAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return out;
  }
  std::string out;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
      .toLower(icu::Locale::getRoot())
      .toUTF8String(out);
  return out;
}

std::string Strings::toUpperCase(std::string_view text) {
  if (isAscii(text)) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    return out;
  }
  std::string out;
  icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
      .toUpper(icu::Locale::getRoot())
      .toUTF8String(out);
  return out;
}

int32_t Integers::parseInt(std::string_view text) { return parseDecimal<int32_t>(text); }

int64_t Integers::parseLong(std::string_view text) { return parseDecimal<int64_t>(text); }

int32_t Integers::parseSignedDigits(std::string_view text) {
  if (!text.empty() && text[0] == '+')
    throw NumberFormatException("For input string: \"" + std::string(text) + "\"");
  return parseDecimal<int32_t>(text);
}

}  // namespace platform
