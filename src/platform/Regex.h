#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <unicode/uversion.h>

#include "platform/Exceptions.h"

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace platform {

// A pattern that does not compile; the message says where and why.
class PatternSyntaxException : public IllegalArgumentException {
 public:
  explicit PatternSyntaxException(const std::string& message) : IllegalArgumentException(message) {}
  const char* typeName() const override { return "PatternSyntaxException"; }
};

// A regular expression in the platform's (Java) syntax, over UTF-8 texts.
// Matching runs on UTF-16 code units, as the platform's does; offsets given
// back are byte offsets into the UTF-8 text. Compiled once, immutable, cheap
// to copy and safe to share between threads.
//
//   Regex("<br\\s*/?>", Regex::kCaseInsensitive).replaceAll(html, "\n")
//   Regex::split("a, b,,c", ",\\s*")   // {"a", "b", "", "c"}
class Regex {
 public:
  // The platform's flag values; combine with "|".
  enum Flags { kCaseInsensitive = 0x02, kMultiline = 0x08, kDotAll = 0x20 };

  // Fails with PatternSyntaxException.
  explicit Regex(std::string_view pattern, int flags = 0);

  const std::string& pattern() const { return pattern_; }

  // One match: the spans of group 0 (the whole match) and of each group.
  struct Match {
    static constexpr size_t npos = std::string::npos;
    // Byte offsets [start, end) per group; npos for a group that took no part.
    std::vector<std::pair<size_t, size_t>> spans;
    // The text of each group; nothing for a group that took no part.
    std::vector<std::optional<std::string>> groups;

    size_t start(int group = 0) const { return spans.at(group).first; }
    size_t end(int group = 0) const { return spans.at(group).second; }
    const std::optional<std::string>& group(int group = 0) const { return groups.at(group); }
    int groupCount() const { return static_cast<int>(groups.size()) - 1; }
  };

  // Whether the whole text matches.
  bool matches(std::string_view text) const;
  // Whether some part of the text matches.
  bool find(std::string_view text) const;
  // The first match that starts at or after byte offset from.
  std::optional<Match> search(std::string_view text, size_t from = 0) const;
  // Every match, left to right, as successive finds see them.
  std::vector<Match> findAll(std::string_view text) const;

  // Replacements use the platform's syntax: $n (or ${name}) stands for a
  // group, "\" takes the next character literally. A bad reference fails
  // with IllegalArgumentException, a group number beyond the pattern's
  // with IndexOutOfBoundsException.
  std::string replaceAll(std::string_view text, std::string_view replacement) const;
  std::string replaceFirst(std::string_view text, std::string_view replacement) const;

  // The platform's split: limit > 0 gives at most limit pieces, limit 0
  // drops empty pieces at the end, limit < 0 keeps them. A zero-width match
  // at the start gives no empty first piece; a text without any match is one
  // piece (the empty text included).
  std::vector<std::string> split(std::string_view text, int limit = 0) const;

  // The platform's text conveniences, compiling the pattern each time.
  static bool matches(std::string_view regex, std::string_view text);
  static std::string replaceAll(std::string_view text, std::string_view regex,
                                std::string_view replacement);
  static std::string replaceFirst(std::string_view text, std::string_view regex,
                                  std::string_view replacement);
  static std::vector<std::string> split(std::string_view text, std::string_view regex,
                                        int limit = 0);

  // A replacement that stands for the literal text.
  static std::string quoteReplacement(std::string_view text);

 private:
  std::string replace(std::string_view text, std::string_view replacement, bool all) const;

  std::string pattern_;
  std::shared_ptr<const icu::RegexPattern> compiled_;
};

}  // namespace platform
