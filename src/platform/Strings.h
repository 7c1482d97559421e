#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The text rules the system relies on, on UTF-8 texts. Where a rule is about
// UTF-16 code units (lengths, indexes, ordering) it converts explicitly.
class Strings {
 public:
  // UTF-8 to UTF-16; malformed bytes become U+FFFD, one per bad sequence.
  static std::u16string toUtf16(std::string_view utf8);
  // UTF-16 to UTF-8; an unpaired surrogate becomes "?" (as the platform's
  // encoder writes it).
  static std::string fromUtf16(std::u16string_view utf16);
  // Number of UTF-16 code units of a UTF-8 text.
  static size_t utf16Length(std::string_view utf8);
  // Whether every byte is below 0x80 (such text is its own UTF-16, Latin-1 and UTF-8).
  static bool isAscii(std::string_view bytes);
  // The UTF-8 text of one code point.
  static std::string fromCodePoint(char32_t c);

  // Removes every code unit up to U+0020 from both ends.
  static std::string trim(std::string_view text);

  // Splits at every occurrence of a literal, non-empty separator; empty
  // pieces at the end are dropped ("a,,b,," -> a, "", b). A text without the
  // separator is one piece, the empty text included.
  static std::vector<std::string> split(std::string_view text, std::string_view separator);

  // Replaces every occurrence of a literal, non-empty target.
  static std::string replace(std::string_view text, std::string_view target,
                             std::string_view replacement);

  static bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
  }
  static bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
  }
  static bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
  }

  // Lexicographic order of UTF-16 code units: negative, zero or positive.
  static int compareTo(std::string_view a, std::string_view b);
  // Per code unit, case folded to upper then lower case, as the platform's
  // case-insensitive comparison does.
  static int compareToIgnoreCase(std::string_view a, std::string_view b);
  static bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return compareToIgnoreCase(a, b) == 0;
  }

  static std::string toLowerCase(std::string_view text);
  static std::string toUpperCase(std::string_view text);

  static std::string toString(int64_t value) { return std::to_string(value); }
};

// Decimal integer parsing with an optional "+" or "-", digits only, range
// checked. Anything else fails with NumberFormatException("For input
// string: ..."). parseSignedDigits takes no "+", for the texts whose format
// allows only a minus sign.
class Integers {
 public:
  static int32_t parseInt(std::string_view text);
  static int64_t parseLong(std::string_view text);
  static int32_t parseSignedDigits(std::string_view text);
};

}  // namespace platform
