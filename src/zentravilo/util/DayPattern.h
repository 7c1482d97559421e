#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <unicode/fieldpos.h>
#include <unicode/parsepos.h>
#include <unicode/unistr.h>

namespace zentravilo::util {

// One of the three numeric text forms of a day ("dd.MM.yyyy", "yyyy-MM-dd",
// "yyyy/MM/dd"): writes a date in it and reads one back with the lenient
// rules of the day texts. Positions count UTF-16 code units, as the text
// formats' positions do.
class DayPattern {
 public:
  struct Fields {
    int32_t year;
    int32_t month;  // 1 to 12 when written; any value when read
    int32_t day;
  };

  static const DayPattern& german();        // "dd.MM.yyyy"
  static const DayPattern& sql();           // "yyyy-MM-dd"
  static const DayPattern& yearMonthDay();  // "yyyy/MM/dd"

  // Day and month in two digits, the year in at least four, ASCII digits.
  std::string format(const Fields& fields) const;

  // Sets position's begin and end to where the date field it names (the
  // date formatter's field numbers: year 1, month 2, day 3) stands in the text
  // that format wrote, offset by the given start; other fields stay 0..0.
  void locate(const std::string& formatted, int32_t start, icu::FieldPosition& position) const;

  // Reads from the position's index: before each number blanks and tabs are
  // skipped; a number is an optional "-" and all the digits that follow; each
  // separator must match. On success the index stands after the last
  // field's digits; on failure nothing is returned, the index is left alone
  // and the error index names the character at which reading failed.
  std::optional<Fields> read(const icu::UnicodeString& text, icu::ParsePosition& position) const;

 private:
  enum class Order { kDayMonthYear, kYearMonthDay };
  constexpr DayPattern(Order order, char separator) : order_(order), separator_(separator) {}

  // Reads one number at index; nullopt with errorIndex set on failure.
  static std::optional<int32_t> readNumber(const icu::UnicodeString& text, int32_t& index,
                                           int32_t& errorIndex);

  Order order_;
  char separator_;
};

}  // namespace zentravilo::util
