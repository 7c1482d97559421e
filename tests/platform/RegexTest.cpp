#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "platform/Regex.h"

using namespace platform;

using Pieces = std::vector<std::string>;

TEST(Regex, SplitFollowsThePlatformRules) {
  struct Case {
    const char* text;
    const char* regex;
    int limit;
    Pieces pieces;
  };
  const Case cases[] = {
      {"a,b,,c,,", ",", 0, {"a", "b", "", "c"}},
      {"a,b,,c,,", ",", -1, {"a", "b", "", "c", "", ""}},
      {"a,b,c", ",", 2, {"a", "b,c"}},
      {"a,b,c", ",", 1, {"a,b,c"}},
      {",a", ",", 0, {"", "a"}},  // a real match at the start keeps the empty first piece
      {",", ",", 0, {}},
      {"", ",", 0, {""}},
      {"abc", "x", 0, {"abc"}},
      {"abc", "", 0, {"a", "b", "c"}},  // zero-width matches: no empty first piece
      {"a1b22c", "\\d+", 0, {"a", "b", "c"}},
      {"a, b ,c", "\\s*,\\s*", 0, {"a", "b", "c"}},
      {"\xC3\xA4|\xE2\x82\xAC|\xF0\x9F\x98\x80", "\\|", 0, {"\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Regex::split(c.text, c.regex, c.limit), c.pieces)
        << '"' << c.text << "\" / " << c.regex << " / " << c.limit;
  }
}

TEST(Regex, ReplaceUsesGroupReferences) {
  struct Case {
    const char* text;
    const char* regex;
    const char* replacement;
    const char* all;
    const char* first;
  };
  const Case cases[] = {
      {"a1b22", "\\d", "<$0>", "a<1>b<2><2>", "a<1>b22"},
      {"John Smith", "(\\w+) (\\w+)", "$2, $1", "Smith, John", "Smith, John"},
      {"x", "(x)", "$10", "x0", "x0"},  // only as many digits as there are groups
      {"x", "(x)", "\\$1\\\\", "$1\\", "$1\\"},
      {"ab", "(a)|(b)", "[$2]", "[][b]", "[]b"},  // a group that took no part is empty
      {"key=v", "(?<name>\\w+)=", "${name}:", "key:v", "key:v"},
      {"aaa", "a*", "-", "--", "-"},
      {"abc", "x", "$9", "abc", "abc"},  // no match: the replacement is never read
      {"\xC3\xA4\xC3\xB6", "\xC3\xB6", "o", "\xC3\xA4o", "\xC3\xA4o"},
      {"<BR>x<br/>", "(?i)<br\\s*/?>", "\n", "\nx\n", "\nx<br/>"},
  };
  for (const auto& c : cases) {
    Regex regex(c.regex);
    EXPECT_EQ(regex.replaceAll(c.text, c.replacement), c.all) << c.regex << " -> " << c.replacement;
    EXPECT_EQ(regex.replaceFirst(c.text, c.replacement), c.first) << c.regex << " -> " << c.replacement;
  }
}

TEST(Regex, BadReplacementsFail) {
  Regex regex("(a)");
  EXPECT_THROW(regex.replaceAll("a", "x\\"), IllegalArgumentException);
  EXPECT_THROW(regex.replaceAll("a", "x$"), IllegalArgumentException);
  EXPECT_THROW(regex.replaceAll("a", "$x"), IllegalArgumentException);
  EXPECT_THROW(regex.replaceAll("a", "${nope}"), IllegalArgumentException);
  EXPECT_THROW(regex.replaceAll("a", "$2"), IndexOutOfBoundsException);
  EXPECT_EQ(regex.replaceAll("a$b", Regex::quoteReplacement("\\$1")), "\\$1$b");
}

TEST(Regex, MatchesFindAndGroups) {
  EXPECT_TRUE(Regex::matches("\\d+", "123"));
  EXPECT_FALSE(Regex::matches("\\d+", "123a"));  // the whole text must match
  EXPECT_TRUE(Regex("\\d+").find("ab123"));
  EXPECT_TRUE(Regex("^B", Regex::kCaseInsensitive | Regex::kMultiline).find("a\nb"));
  EXPECT_TRUE(Regex("a.b", Regex::kDotAll).matches("a\nb"));
  EXPECT_FALSE(Regex("a.b").matches("a\nb"));

  // Offsets are bytes of the UTF-8 text, also after characters of several bytes.
  auto match = Regex("(\\d+)(x)?").search("\xE2\x82\xAC 42 7", 4);
  ASSERT_TRUE(match);
  EXPECT_EQ(match->start(), 4u);
  EXPECT_EQ(match->end(), 6u);
  EXPECT_EQ(match->group(1), "42");
  EXPECT_EQ(match->group(2), std::nullopt);
  EXPECT_EQ(match->groupCount(), 2);
  auto next = Regex("\\d+").search("\xE2\x82\xAC 42 7", match->end());
  ASSERT_TRUE(next);
  EXPECT_EQ(next->group(), "7");
  EXPECT_FALSE(Regex("\\d").search("abc"));

  auto all = Regex("\\w+").findAll("one two \xC3\xA4");
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[2].group(), "\xC3\xA4");
}

TEST(Regex, BadPatternFails) {
  for (const char* pattern : {"(ab", "[a-", "*a", "a{2,1}"}) {
    EXPECT_THROW(Regex{pattern}, PatternSyntaxException) << pattern;
  }
  EXPECT_THROW(Regex::matches("(", "x"), IllegalArgumentException);
}

// Compiled patterns are shared between Regex objects of the same text and
// flags; flags keep them apart, and more patterns than are kept still
// compile and match each as its own.
TEST(Regex, SharedCompiledPatternsKeepTheirFlagsAndSurviveEviction) {
  EXPECT_TRUE(Regex("abc", Regex::kCaseInsensitive).matches("ABC"));
  EXPECT_FALSE(Regex("abc").matches("ABC"));
  EXPECT_TRUE(Regex("abc", Regex::kCaseInsensitive).matches("AbC"));
  EXPECT_FALSE(Regex("a.c").matches("a\nc"));
  EXPECT_TRUE(Regex("a.c", Regex::kDotAll).matches("a\nc"));
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 100; ++i) {
      const std::string number = std::to_string(i);
      EXPECT_TRUE(Regex("x" + number + "y").matches("x" + number + "y"));
      EXPECT_FALSE(Regex("x" + number + "y").matches("x" + number + "z"));
    }
  }
  for (int i = 0; i < 2; ++i) EXPECT_THROW(Regex("(unclosed"), PatternSyntaxException);
}
