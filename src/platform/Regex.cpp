#include "platform/Regex.h"

#include <unicode/regex.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

// A UTF-8 text as the UTF-16 the matcher works on, with the byte offset of
// every code unit (and of the end) so that results map back.
struct Subject {
  std::string_view bytes;
  icu::UnicodeString units;
  std::vector<uint32_t> offsets;

  explicit Subject(std::string_view text) : bytes(text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    int32_t length = static_cast<int32_t>(text.size());
    offsets.reserve(text.size() + 1);
    int32_t i = 0;
    while (i < length) {
      int32_t start = i;
      UChar32 c;
      U8_NEXT(s, i, length, c);
      if (c < 0) c = 0xFFFD;
      units.append(c);
      offsets.push_back(static_cast<uint32_t>(start));
      if (c >= 0x10000) offsets.push_back(static_cast<uint32_t>(start));
    }
    offsets.push_back(static_cast<uint32_t>(text.size()));
  }

  size_t byteAt(int32_t unit) const { return offsets[static_cast<size_t>(unit)]; }
  // The code unit that starts at a byte offset (or the first one after it).
  int32_t unitAt(size_t byte) const {
    auto it = std::lower_bound(offsets.begin(), offsets.end(), static_cast<uint32_t>(byte));
    return static_cast<int32_t>(it - offsets.begin());
  }
  std::string_view slice(size_t from, size_t to) const { return bytes.substr(from, to - from); }
};

void check(UErrorCode status) {
  if (U_FAILURE(status)) throw IllegalStateException(std::string("regex: ") + u_errorName(status));
}

std::unique_ptr<icu::RegexMatcher> matcherFor(const icu::RegexPattern& pattern, const Subject& subject) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(subject.units, status));
  check(status);
  return matcher;
}

Regex::Match currentMatch(icu::RegexMatcher& matcher, const Subject& subject) {
  Regex::Match match;
  UErrorCode status = U_ZERO_ERROR;
  int32_t count = matcher.groupCount();
  for (int32_t g = 0; g <= count; ++g) {
    int32_t start = matcher.start(g, status);
    int32_t end = matcher.end(g, status);
    check(status);
    if (start < 0) {
      match.spans.emplace_back(Regex::Match::npos, Regex::Match::npos);
      match.groups.emplace_back();
    } else {
      size_t from = subject.byteAt(start);
      size_t to = subject.byteAt(end);
      match.spans.emplace_back(from, to);
      match.groups.emplace_back(std::string(subject.slice(from, to)));
    }
  }
  return match;
}

size_t utf8Length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// A parsed replacement: literal pieces and group references.
struct Replacement {
  struct Piece {
    std::string literal;
    int group = -1;  // >= 0: a group reference
  };
  std::vector<Piece> pieces;

  Replacement(std::string_view text, const icu::RegexPattern& pattern, int groupCount) {
    std::string literal;
    size_t cursor = 0;
    auto flush = [&] {
      if (!literal.empty()) pieces.push_back({std::move(literal), -1});
      literal.clear();
    };
    while (cursor < text.size()) {
      char c = text[cursor];
      if (c == '\\') {
        ++cursor;
        if (cursor == text.size()) throw IllegalArgumentException("character to be escaped is missing");
        size_t n = std::min(utf8Length(static_cast<unsigned char>(text[cursor])), text.size() - cursor);
        literal.append(text.substr(cursor, n));
        cursor += n;
      } else if (c == '$') {
        ++cursor;
        if (cursor == text.size()) {
          throw IllegalArgumentException("Illegal group reference: group index is missing");
        }
        int ref;
        if (text[cursor] == '{') {
          ++cursor;
          std::string name;
          while (cursor < text.size() && std::isalnum(static_cast<unsigned char>(text[cursor]))) {
            name.push_back(text[cursor++]);
          }
          if (name.empty()) throw IllegalArgumentException("named capturing group has 0 length name");
          if (cursor == text.size() || text[cursor] != '}') {
            throw IllegalArgumentException("named capturing group is missing trailing '}'");
          }
          if (std::isdigit(static_cast<unsigned char>(name[0]))) {
            throw IllegalArgumentException("capturing group name {" + name +
                                           "} starts with digit character");
          }
          UErrorCode status = U_ZERO_ERROR;
          ref = pattern.groupNumberFromName(icu::UnicodeString::fromUTF8(name), status);
          if (U_FAILURE(status)) throw IllegalArgumentException("No group with name {" + name + "}");
          ++cursor;
        } else {
          ref = text[cursor] - '0';
          if (ref < 0 || ref > 9) throw IllegalArgumentException("Illegal group reference");
          ++cursor;
          // Further digits belong to the reference while it names a group.
          while (cursor < text.size() && text[cursor] >= '0' && text[cursor] <= '9') {
            int longer = ref * 10 + (text[cursor] - '0');
            if (longer > groupCount) break;
            ref = longer;
            ++cursor;
          }
        }
        if (ref > groupCount) throw IndexOutOfBoundsException("No group " + std::to_string(ref));
        flush();
        pieces.push_back({std::string(), ref});
      } else {
        literal.push_back(c);
        ++cursor;
      }
    }
    flush();
  }

  void appendTo(std::string& out, icu::RegexMatcher& matcher, const Subject& subject) const {
    UErrorCode status = U_ZERO_ERROR;
    for (const Piece& piece : pieces) {
      if (piece.group < 0) {
        out += piece.literal;
        continue;
      }
      int32_t start = matcher.start(piece.group, status);
      int32_t end = matcher.end(piece.group, status);
      check(status);
      if (start >= 0) out += subject.slice(subject.byteAt(start), subject.byteAt(end));
    }
  }
};

// Templates build the same few patterns on every call; compiling costs far
// more than matching. A compiled pattern is immutable, so one may serve
// every Regex made from the same text and flags. Kept per thread, without
// locks, most recently used first.
class CompiledCache {
 public:
  static std::shared_ptr<const icu::RegexPattern> get(std::string_view pattern, uint32_t flags) {
    thread_local CompiledCache cache;
    return cache.lookUp(pattern, flags);
  }

 private:
  static constexpr size_t kCapacity = 32;

  struct Entry {
    std::string pattern;
    uint32_t flags;
    std::shared_ptr<const icu::RegexPattern> compiled;
  };

  std::shared_ptr<const icu::RegexPattern> lookUp(std::string_view pattern, uint32_t flags) {
    for (size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].flags == flags && entries_[i].pattern == pattern) {
        std::rotate(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(i),
                    entries_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return entries_.front().compiled;
      }
    }
    std::shared_ptr<const icu::RegexPattern> compiled = compile(pattern, flags);
    if (entries_.size() == kCapacity) entries_.pop_back();
    entries_.insert(entries_.begin(), Entry{std::string(pattern), flags, compiled});
    return compiled;
  }

  static std::shared_ptr<const icu::RegexPattern> compile(std::string_view pattern, uint32_t flags) {
    UParseError where{};
    UErrorCode status = U_ZERO_ERROR;
    icu::RegexPattern* compiled =
        icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), flags, where, status);
    if (U_FAILURE(status)) {
      delete compiled;
      throw PatternSyntaxException(std::string(u_errorName(status)) + " near index " +
                                   std::to_string(where.offset) + "\n" + std::string(pattern));
    }
    return std::shared_ptr<const icu::RegexPattern>(compiled);
  }

  std::vector<Entry> entries_;
};

}  // namespace

Regex::Regex(std::string_view pattern, int flags)
    : pattern_(pattern),
      compiled_(CompiledCache::get(
          pattern, static_cast<uint32_t>(flags) & (kCaseInsensitive | kMultiline | kDotAll))) {}

bool Regex::matches(std::string_view text) const {
  Subject subject(text);
  auto matcher = matcherFor(*compiled_, subject);
  UErrorCode status = U_ZERO_ERROR;
  bool result = matcher->matches(status);
  check(status);
  return result;
}

bool Regex::find(std::string_view text) const {
  Subject subject(text);
  return matcherFor(*compiled_, subject)->find();
}

std::optional<Regex::Match> Regex::search(std::string_view text, size_t from) const {
  if (from > text.size()) return std::nullopt;
  Subject subject(text);
  auto matcher = matcherFor(*compiled_, subject);
  UErrorCode status = U_ZERO_ERROR;
  if (!matcher->find(subject.unitAt(from), status)) return std::nullopt;
  check(status);
  return currentMatch(*matcher, subject);
}

std::vector<Regex::Match> Regex::findAll(std::string_view text) const {
  Subject subject(text);
  auto matcher = matcherFor(*compiled_, subject);
  std::vector<Match> all;
  while (matcher->find()) all.push_back(currentMatch(*matcher, subject));
  return all;
}

std::string Regex::replace(std::string_view text, std::string_view replacement, bool all) const {
  Subject subject(text);
  auto matcher = matcherFor(*compiled_, subject);
  if (!matcher->find()) return std::string(text);
  Replacement parsed(replacement, *compiled_, matcher->groupCount());
  std::string out;
  out.reserve(text.size());
  size_t tail = 0;
  UErrorCode status = U_ZERO_ERROR;
  do {
    size_t start = subject.byteAt(matcher->start(status));
    size_t end = subject.byteAt(matcher->end(status));
    check(status);
    out += subject.slice(tail, start);
    parsed.appendTo(out, *matcher, subject);
    tail = end;
  } while (all && matcher->find());
  out += subject.slice(tail, text.size());
  return out;
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacement) const {
  return replace(text, replacement, true);
}

std::string Regex::replaceFirst(std::string_view text, std::string_view replacement) const {
  return replace(text, replacement, false);
}

std::vector<std::string> Regex::split(std::string_view text, int limit) const {
  Subject subject(text);
  auto matcher = matcherFor(*compiled_, subject);
  std::vector<std::string> pieces;
  bool limited = limit > 0;
  size_t index = 0;
  bool matched = false;
  UErrorCode status = U_ZERO_ERROR;
  while (matcher->find()) {
    size_t start = subject.byteAt(matcher->start(status));
    size_t end = subject.byteAt(matcher->end(status));
    check(status);
    if (limited && pieces.size() >= static_cast<size_t>(limit - 1)) break;
    // A zero-width match at the very start gives no empty first piece.
    if (start == 0 && end == 0) continue;
    pieces.emplace_back(subject.slice(index, start));
    index = end;
    matched = true;
  }
  if (!matched) return {std::string(text)};
  pieces.emplace_back(subject.slice(index, text.size()));
  if (limit == 0) {
    while (!pieces.empty() && pieces.back().empty()) pieces.pop_back();
  }
  return pieces;
}

bool Regex::matches(std::string_view regex, std::string_view text) { return Regex(regex).matches(text); }

std::string Regex::replaceAll(std::string_view text, std::string_view regex, std::string_view replacement) {
  return Regex(regex).replaceAll(text, replacement);
}

std::string Regex::replaceFirst(std::string_view text, std::string_view regex, std::string_view replacement) {
  return Regex(regex).replaceFirst(text, replacement);
}

std::vector<std::string> Regex::split(std::string_view text, std::string_view regex, int limit) {
  return Regex(regex).split(text, limit);
}

std::string Regex::quoteReplacement(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\' || c == '$') out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

}  // namespace platform
