#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <unicode/fieldpos.h>
#include <unicode/parsepos.h>

#include "zentravilo/util/DayDate.h"

namespace zentravilo::util {

// Text format of days as "dd.MM.yyyy", reading and writing the day's own
// date whatever the time zone. Positions count UTF-16 code units of the text
// (and of the buffer, when formatting).
class DayDateFormat {
 public:
  DayDateFormat();

  // The day's "dd.MM.yyyy" text.
  std::string format(const DayDate& value) const;
  // Appends the day's text to buffer; a position for the date formatter's
  // year (1), month (2) or day (3) field gets that field's begin and end.
  std::string& format(const DayDate& value, std::string& buffer, icu::FieldPosition& position) const;

  // Reads one day from the position's index; a year 0..99 becomes 2000..2099.
  // On failure: nothing, the index stays and the error index is set.
  std::optional<DayDate> parseObject(std::string_view text, icu::ParsePosition& position) const;
  // Reads one day from the start of text; nothing when blank or unreadable.
  std::optional<DayDate> parseObject(std::string_view text) const;

 private:
  const DayPattern& delegate_;
};

}  // namespace zentravilo::util
