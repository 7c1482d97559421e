// The order comparisons walk the UTF-8 bytes; these tables hold them to the
// plain rule of comparing the converted UTF-16 strings unit by unit.
#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>

#include <string>
#include <vector>

#include "platform/Strings.h"

using platform::Strings;

namespace {

char16_t fold(char16_t c) { return static_cast<char16_t>(u_tolower(u_toupper(c))); }

// The plain rule: both texts converted whole, then compared unit by unit.
int plainCompare(const std::string& a, const std::string& b, bool ignoreCase) {
  const std::u16string x = Strings::toUtf16(a);
  const std::u16string y = Strings::toUtf16(b);
  const size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i) {
    if (x[i] == y[i]) continue;
    if (!ignoreCase) return static_cast<int>(x[i]) - static_cast<int>(y[i]);
    if (fold(x[i]) != fold(y[i])) return static_cast<int>(fold(x[i])) - static_cast<int>(fold(y[i]));
  }
  return static_cast<int>(x.size()) - static_cast<int>(y.size());
}

const std::string kPrefixes[] = {"", "abc ", "\xC3\xB6", "a\xC3\xB6", "\xF0\x9F\x98\x80", "\xE2\x82", "\xC3"};

const std::vector<std::string>& texts() {
  static const std::vector<std::string> all = {
      "",
      "a",
      "A",
      "ab",
      "abc",
      "b",
      "Z",
      "\x7F",
      "\xC2\x80",                   // U+0080
      "\xC3\xB6",                   // o umlaut
      "\xC3\x96",                   // O umlaut
      "Gr\xC3\xB6\xC3\x9F" "e",
      "Gr\xC3\xB6" "be",
      "Gro\xC3\x9F",
      "\xED\x9F\xBF",               // U+D7FF, below the surrogates
      "\xEE\x80\x80",               // U+E000, above them
      "\xEF\xBF\xBD",               // U+FFFD
      "\xEF\xBF\xBF",               // U+FFFF
      "\xF0\x90\x80\x80",           // U+10000: a pair sorting below U+E000
      "\xF0\x9F\x98\x80",           // U+1F600
      "\xF4\x8F\xBF\xBF",           // U+10FFFF
      "x\xF0\x9F\x98\x80",
      "x\xEE\x80\x80",
      "x\xEF\xBF\xBF" "a",
      "x\xF0\x9F\x98\x80" "a",
      "\xF0\x9F\x98\x80\xF0\x9F\x98\x81",
      "\xF0\x9F\x98\x80\xEE\x80\x80",
      "\xF0\x9F\x98\x80",
      // Malformed input decodes to U+FFFD, as the conversion does.
      "\xFF",
      "\x80",
      "\xC3",
      "\xC3" "a",
      "\xE2\x82",
      "\xE2\x82" "a",
      "\xF0\x9F\x98",
      "\xED\xA0\x80",               // an encoded surrogate
      "\xC0\xAF",                   // overlong
      "ab\xC3",
      "ab\xC3\xB6",
      "ab\xC3\xB7",
      "ab\xE2\x82\xAC",
      "ab\xE2\x82\xAD",
      "ab\xE2\x83\xAC",
      "\xC3\xB6\xC3\xB6" "a",
      "\xC3\xB6\xC3\xB7" "a",
      "\xC3\x9F",                   // sharp s: upper case is two letters
      "\xC4\xB0",                   // dotted capital I
      "i",
      "I",
      "\xC4\xB1",                   // dotless i
      "\xCE\xA3",                   // capital sigma
      "\xCF\x82",                   // final sigma
      "\xCF\x83",                   // sigma
  };
  return all;
}

TEST(StringsOrder, CompareToMatchesUnitByUnitOrder) {
  for (const std::string& a : texts()) {
    for (const std::string& b : texts()) {
      EXPECT_EQ(Strings::compareTo(a, b), plainCompare(a, b, false)) << testing::PrintToString(a) << " vs "
                                                                      << testing::PrintToString(b);
    }
  }
}

TEST(StringsOrder, CompareToHoldsWithSharedPrefixes) {
  for (const std::string& prefix : kPrefixes) {
    for (const std::string& a : texts()) {
      for (const std::string& b : texts()) {
        EXPECT_EQ(Strings::compareTo(prefix + a, prefix + b), plainCompare(prefix + a, prefix + b, false))
            << testing::PrintToString(prefix + a) << " vs " << testing::PrintToString(prefix + b);
      }
    }
  }
}

TEST(StringsOrder, SupplementaryCharactersSortBelowTheTopOfThePlane) {
  // In bytes U+10000 follows U+E000; in UTF-16 its pair comes first.
  EXPECT_LT(Strings::compareTo("\xF0\x90\x80\x80", "\xEE\x80\x80"), 0);
  EXPECT_GT(Strings::compareTo("\xEF\xBF\xBF", "\xF0\x9F\x98\x80"), 0);
  EXPECT_LT(Strings::compareTo("\xED\x9F\xBF", "\xF0\x90\x80\x80"), 0);
}

TEST(StringsOrder, CompareToIgnoreCaseMatchesFoldedUnitOrder) {
  for (const std::string& prefix : kPrefixes) {
    for (const std::string& a : texts()) {
      for (const std::string& b : texts()) {
        EXPECT_EQ(Strings::compareToIgnoreCase(prefix + a, prefix + b), plainCompare(prefix + a, prefix + b, true))
            << testing::PrintToString(prefix + a) << " vs " << testing::PrintToString(prefix + b);
      }
    }
  }
}

// Case mapping: ASCII text takes a short way; every text must still map as
// the full Unicode mapping of the root locale does.
std::string icuCase(const std::string& text, bool lower) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
  if (lower) u.toLower(icu::Locale::getRoot());
  else u.toUpper(icu::Locale::getRoot());
  std::string out;
  return u.toUTF8String(out);
}

TEST(StringsOrder, CaseMappingMatchesUnicodeRootLocale) {
  const std::vector<std::string> cases = {
      "", "Host", "CONTENT-LENGTH: 12", "@[`{ az AZ 09", std::string("a\0B", 3), "\x7F~",
      "Stra\xC3\x9F" "e",      // sharp s: upper case grows
      "\xC4\xB0stanbul",      // capital I with dot: lower case grows
      "\xE2\x84\xAA" "elvin",  // Kelvin sign lowers to ASCII k
      "I\xC3\xA9X", "\xC3\x89t\xC3\xA9",
  };
  for (const std::string& text : cases) {
    EXPECT_EQ(Strings::toLowerCase(text), icuCase(text, true)) << testing::PrintToString(text);
    EXPECT_EQ(Strings::toUpperCase(text), icuCase(text, false)) << testing::PrintToString(text);
  }
}

TEST(StringsOrder, Utf16LengthCountsUnits) {
  const std::pair<std::string, size_t> cases[] = {
      {"", 0}, {"result=abc", 10}, {"a\xC3\xA4z", 3}, {"\xE2\x82\xAC!", 2},
      {"x\xF0\x9F\x98\x80", 3}, {"\xFF" "a", 2}, {"a\xC3", 2},
  };
  for (const auto& [text, units] : cases) {
    EXPECT_EQ(Strings::utf16Length(text), units) << testing::PrintToString(text);
    EXPECT_EQ(Strings::utf16Length(text), Strings::toUtf16(text).size()) << testing::PrintToString(text);
  }
}

}  // namespace
