#include "zentravilo/util/DayPattern.h"

#include <cstdio>
#include <limits>

namespace zentravilo::util {

namespace {

enum FieldNumber { kYearField = 1, kMonthField = 2, kDayField = 3 };

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

const DayPattern& DayPattern::german() {
  static constexpr DayPattern pattern(Order::kDayMonthYear, '.');
  return pattern;
}

const DayPattern& DayPattern::sql() {
  static constexpr DayPattern pattern(Order::kYearMonthDay, '-');
  return pattern;
}

const DayPattern& DayPattern::yearMonthDay() {
  static constexpr DayPattern pattern(Order::kYearMonthDay, '/');
  return pattern;
}

std::string DayPattern::format(const Fields& f) const {
  char buffer[48];
  if (order_ == Order::kDayMonthYear) {
    std::snprintf(buffer, sizeof buffer, "%02d%c%02d%c%04d", f.day, separator_, f.month, separator_,
                  f.year);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d%c%02d%c%02d", f.year, separator_, f.month, separator_,
                  f.day);
  }
  return buffer;
}

void DayPattern::locate(const std::string& formatted, int32_t start,
                        icu::FieldPosition& position) const {
  // The formatted text is ASCII: byte offsets are code-unit offsets.
  const int32_t first = static_cast<int32_t>(formatted.find(separator_));
  const int32_t second = static_cast<int32_t>(formatted.rfind(separator_));
  const int32_t end = static_cast<int32_t>(formatted.size());
  int32_t begin = 0, stop = 0;
  const bool dayFirst = order_ == Order::kDayMonthYear;
  switch (position.getField()) {
    case kDayField:
      begin = dayFirst ? 0 : second + 1;
      stop = dayFirst ? first : end;
      break;
    case kMonthField:
      begin = first + 1;
      stop = second;
      break;
    case kYearField:
      begin = dayFirst ? second + 1 : 0;
      stop = dayFirst ? end : first;
      break;
    default:
      return;
  }
  position.setBeginIndex(start + begin);
  position.setEndIndex(start + stop);
}

std::optional<int32_t> DayPattern::readNumber(const icu::UnicodeString& text, int32_t& index,
                                              int32_t& errorIndex) {
  const int32_t length = text.length();
  int32_t i = index;
  while (i < length && isBlank(text.charAt(i))) ++i;
  if (i >= length) {
    errorIndex = index;
    return std::nullopt;
  }
  const int32_t numberStart = i;
  const bool negative = text.charAt(i) == u'-';
  if (negative) ++i;
  if (i >= length || !isDigit(text.charAt(i))) {
    errorIndex = numberStart;
    return std::nullopt;
  }
  // Magnitudes beyond 32 bits are no day, month or year: the read fails.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < length && isDigit(text.charAt(i)); ++i) {
    if (value <= kLimit) value = value * 10 + (text.charAt(i) - u'0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) {
    errorIndex = numberStart;
    return std::nullopt;
  }
  index = i;
  return static_cast<int32_t>(value);
}

std::optional<DayPattern::Fields> DayPattern::read(const icu::UnicodeString& text,
                                                   icu::ParsePosition& position) const {
  int32_t index = position.getIndex();
  if (index < 0 || index > text.length()) {
    position.setErrorIndex(index);
    return std::nullopt;
  }
  int32_t numbers[3];
  for (int n = 0; n < 3; ++n) {
    if (n > 0) {
      if (index >= text.length() || text.charAt(index) != static_cast<char16_t>(separator_)) {
        position.setErrorIndex(index);
        return std::nullopt;
      }
      ++index;
    }
    int32_t errorIndex = -1;
    std::optional<int32_t> number = readNumber(text, index, errorIndex);
    if (!number) {
      position.setErrorIndex(errorIndex);
      return std::nullopt;
    }
    numbers[n] = *number;
  }
  position.setIndex(index);
  if (order_ == Order::kDayMonthYear) return Fields{numbers[2], numbers[1], numbers[0]};
  return Fields{numbers[0], numbers[1], numbers[2]};
}

}  // namespace zentravilo::util
