#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <unicode/calendar.h>
#include <unicode/timezone.h>

#include "platform/Date.h"
#include "zentravilo/util/DayPattern.h"

namespace zentravilo::util {

// One whole calendar day, held as a day number. A day number runs from
// 22:00 UTC of the previous date to 21:59:59.999 UTC of its own date, so that
// every zone from 22 hours west of UTC to 2 hours east of it sees the same
// date at local midnight. Dates follow the Julian calendar before 15 October
// 1582 and the Gregorian calendar from then on; the calendar is lenient.
//
// Arithmetic returns new days; only adjustSmaller100 changes a day.
class DayDate {
 public:
  // Today.
  DayDate();
  explicit DayDate(const platform::Date& instant);
  // The zone does not enter into the day number.
  DayDate(const platform::Date& instant, const icu::TimeZone& zone);
  // A calendar date, month 1 to 12, fields out of range carried over. A
  // negative year counts back from year 1: -44 is the year 44 before it.
  DayDate(int32_t year, int32_t month, int32_t day);
  // The given day number, unchecked.
  explicit DayDate(int32_t chronologicalJulianDay);

  // The day of a "dd.MM.yyyy" text with a year 0..99 moved to 2000..2099, or
  // nothing when the text is blank or does not read. The written date in
  // every time zone.
  static std::optional<DayDate> fromGerman(std::string_view text);
  // The day of a "yyyy/MM/dd" text; PositionedParseException when it does not read.
  static DayDate fromYearMonthDayFormat(std::string_view text);

  std::string toString() const { return asGermanFormat(); }
  DayDate clone() const { return *this; }

  DayDate subYears(int32_t n) const { return addField(UCAL_YEAR, -int64_t{n}); }
  DayDate subMonths(int32_t n) const { return addField(UCAL_MONTH, -int64_t{n}); }
  DayDate subDays(int32_t n) const { return shiftDays(-int64_t{n}); }
  DayDate previousYear() const { return addYears(-1); }
  DayDate previousMonth() const { return addMonths(-1); }
  DayDate previousDay() const { return addDays(-1); }
  DayDate nextYear() const { return addYears(1); }
  DayDate nextMonth() const { return addMonths(1); }
  DayDate nextDay() const { return addDays(1); }
  DayDate lastDayOfMonth() const;
  DayDate firstDayOfMonth() const;

  // Year of its era (1 for the year before year 1), month 1..12, day 1..31.
  int32_t getYear() const;
  int32_t getMonth() const;
  int32_t getDayOfMonth() const;
  // 00:00:00.000 of the day's date in the zone (or the process's zone).
  platform::Date getDate(const icu::TimeZone& zone) const;
  platform::Date getDate() const;
  int32_t getChronologicalJulianDay() const { return chronologicalJulianDay; }

  // This day number minus the other's.
  int32_t daysDiff(const DayDate& other) const;
  // -1, 0 or 1.
  int compareTo(const DayDate& other) const;

  std::string asYearMonthDayFormat() const;  // yyyy/MM/dd
  std::string asSqlFormat() const;           // yyyy-MM-dd
  std::string asGermanFormat() const;        // dd.MM.yyyy

  // Moves a day of the years 0 to 99 forward by 2000 years (same month and
  // day); later days stay.
  void adjustSmaller100();

  DayDate addYears(int32_t n) const { return addField(UCAL_YEAR, n); }
  DayDate addMonths(int32_t n) const { return addField(UCAL_MONTH, n); }
  DayDate addDays(int32_t n) const { return shiftDays(n); }

 private:
  friend class DayDateFormat;

  static constexpr int64_t cjd_january_1_1970_in_millis = 210866716800000LL;
  static constexpr int64_t millisPerDay = 86400000LL;
  static constexpr int64_t twoHoursSafetyOffestInMillis = 7200000LL;

  // The day rule: the day number of an instant.
  void setByMillisSince1970(int64_t millis);
  // A lenient calendar with the day's date at 02:00 UTC.
  std::unique_ptr<icu::Calendar> toCalendar() const;
  void placeCalendar(icu::Calendar& calendar) const;
  const icu::Calendar& readingCalendar() const;
  DayDate addField(UCalendarDateFields field, int64_t amount) const;
  DayDate shiftDays(int64_t amount) const;
  std::string format(const DayPattern& pattern) const;
  // The day of a date read from a text: the written date (the year in the
  // current era, fields carried over) in every time zone; nothing when the
  // calendar cannot place it.
  static std::optional<DayDate> fromFields(const DayPattern::Fields& fields);
  static DayDate fromCalendar(const icu::Calendar& calendar);

  int32_t chronologicalJulianDay;
};

}  // namespace zentravilo::util
