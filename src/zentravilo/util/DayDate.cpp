#include "zentravilo/util/DayDate.h"

#include <algorithm>
#include <limits>

#include <unicode/gregocal.h>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "zentravilo/util/PositionedParseException.h"

namespace zentravilo::util {

namespace {

constexpr int32_t kDayOfJanuary1970 = 2440587;
// 1 January of the year 100 (Julian) and the distance from a date of the
// years 0..99 to the same Gregorian date 2000 years later.
constexpr int32_t kFirstDayOfYear100 = 1757582;
constexpr int32_t kTwoThousandYears = 730487;

const icu::TimeZone& utc() {
  static const icu::TimeZone* zone = icu::TimeZone::createTimeZone("UTC");
  return *zone;
}

void check(UErrorCode status, const char* what) {
  if (U_FAILURE(status)) {
    throw platform::IllegalArgumentException(std::string(what) + ": " + u_errorName(status));
  }
}

// A Gregorian calendar with the change-over of October 1582, lenient, with
// all fields cleared.
std::unique_ptr<icu::Calendar> newCalendar(const icu::TimeZone& zone) {
  UErrorCode status = U_ZERO_ERROR;
  auto calendar = std::make_unique<icu::GregorianCalendar>(zone, icu::Locale::getRoot(), status);
  check(status, "calendar");
  calendar->setLenient(true);
  calendar->clear();
  return calendar;
}

int32_t clampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

platform::Date toInstant(UDate millis) { return platform::Date(static_cast<int64_t>(millis)); }

std::unique_ptr<icu::TimeZone> defaultZone() {
  return std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault());
}

}  // namespace

DayDate::DayDate() { setByMillisSince1970(platform::System::currentTimeMillis()); }

DayDate::DayDate(const platform::Date& instant) { setByMillisSince1970(instant.getTime()); }

DayDate::DayDate(const platform::Date& instant, const icu::TimeZone&) : DayDate(instant) {}

DayDate::DayDate(int32_t year, int32_t month, int32_t day) {
  auto calendar = newCalendar(utc());
  if (year < 0) {
    calendar->set(UCAL_ERA, icu::GregorianCalendar::BC);
    year = clampToInt32(-int64_t{year});
  }
  calendar->set(UCAL_YEAR, year);
  calendar->set(UCAL_MONTH, clampToInt32(int64_t{month} - 1));
  calendar->set(UCAL_DATE, day);
  *this = fromCalendar(*calendar);
}

DayDate::DayDate(int32_t day) : chronologicalJulianDay(day) {}

void DayDate::setByMillisSince1970(int64_t millis) {
  // 64-bit wrap-around as the original arithmetic had; only instants far
  // outside any calendar reach it.
  const auto sum = static_cast<int64_t>(static_cast<uint64_t>(millis) +
                                        static_cast<uint64_t>(cjd_january_1_1970_in_millis +
                                                              twoHoursSafetyOffestInMillis));
  chronologicalJulianDay = static_cast<int32_t>(sum / millisPerDay);
}

DayDate DayDate::fromCalendar(const icu::Calendar& calendar) {
  UErrorCode status = U_ZERO_ERROR;
  const UDate millis = calendar.getTime(status);
  check(status, "calendar date");
  DayDate result(0);
  result.setByMillisSince1970(static_cast<int64_t>(millis));
  return result;
}

void DayDate::placeCalendar(icu::Calendar& calendar) const {
  UErrorCode status = U_ZERO_ERROR;
  const int64_t millis =
      (int64_t{chronologicalJulianDay} - kDayOfJanuary1970) * millisPerDay + twoHoursSafetyOffestInMillis;
  calendar.setTime(static_cast<UDate>(millis), status);
  check(status, "day number");
}

std::unique_ptr<icu::Calendar> DayDate::toCalendar() const {
  auto calendar = newCalendar(utc());
  placeCalendar(*calendar);
  return calendar;
}

// Building a calendar costs microseconds and every listed record formats a
// day, so reads of a day's fields share one calendar per thread. Setting
// the time replaces all of its state.
const icu::Calendar& DayDate::readingCalendar() const {
  thread_local const std::unique_ptr<icu::Calendar> shared = newCalendar(utc());
  placeCalendar(*shared);
  return *shared;
}

DayDate DayDate::addField(UCalendarDateFields field, int64_t amount) const {
  auto calendar = toCalendar();
  UErrorCode status = U_ZERO_ERROR;
  calendar->add(field, clampToInt32(amount), status);
  check(status, "calendar arithmetic");
  return fromCalendar(*calendar);
}

DayDate DayDate::shiftDays(int64_t amount) const {
  return DayDate(static_cast<int32_t>(int64_t{chronologicalJulianDay} + amount));
}

DayDate DayDate::lastDayOfMonth() const {
  auto calendar = toCalendar();
  UErrorCode status = U_ZERO_ERROR;
  calendar->set(UCAL_DATE, calendar->getActualMaximum(UCAL_DATE, status));
  check(status, "month end");
  return fromCalendar(*calendar);
}

DayDate DayDate::firstDayOfMonth() const {
  auto calendar = toCalendar();
  UErrorCode status = U_ZERO_ERROR;
  calendar->set(UCAL_DATE, calendar->getActualMinimum(UCAL_DATE, status));
  check(status, "month start");
  return fromCalendar(*calendar);
}

int32_t DayDate::getYear() const {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t year = readingCalendar().get(UCAL_YEAR, status);
  check(status, "year");
  return year;
}

int32_t DayDate::getMonth() const {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t month = readingCalendar().get(UCAL_MONTH, status) + 1;
  check(status, "month");
  return month;
}

int32_t DayDate::getDayOfMonth() const {
  UErrorCode status = U_ZERO_ERROR;
  const int32_t day = readingCalendar().get(UCAL_DATE, status);
  check(status, "day of month");
  return day;
}

platform::Date DayDate::getDate(const icu::TimeZone& zone) const {
  const icu::Calendar& day = readingCalendar();
  UErrorCode status = U_ZERO_ERROR;
  const int32_t era = day.get(UCAL_ERA, status);
  const int32_t year = day.get(UCAL_YEAR, status);
  const int32_t month = day.get(UCAL_MONTH, status);
  const int32_t date = day.get(UCAL_DATE, status);
  check(status, "date");
  auto local = newCalendar(zone);
  // The era goes along, so that a day before year 1 stays before it.
  local->set(UCAL_ERA, era);
  local->set(year, month, date);
  const UDate millis = local->getTime(status);
  check(status, "local date");
  return toInstant(millis);
}

platform::Date DayDate::getDate() const { return getDate(*defaultZone()); }

int32_t DayDate::daysDiff(const DayDate& other) const {
  return static_cast<int32_t>(int64_t{chronologicalJulianDay} - other.chronologicalJulianDay);
}

int DayDate::compareTo(const DayDate& other) const {
  if (chronologicalJulianDay < other.chronologicalJulianDay) return -1;
  return chronologicalJulianDay == other.chronologicalJulianDay ? 0 : 1;
}

std::string DayDate::format(const DayPattern& pattern) const {
  const icu::Calendar& calendar = readingCalendar();
  UErrorCode status = U_ZERO_ERROR;
  DayPattern::Fields fields{calendar.get(UCAL_YEAR, status), calendar.get(UCAL_MONTH, status) + 1,
                            calendar.get(UCAL_DATE, status)};
  check(status, "date");
  return pattern.format(fields);
}

std::string DayDate::asYearMonthDayFormat() const { return format(DayPattern::yearMonthDay()); }
std::string DayDate::asSqlFormat() const { return format(DayPattern::sql()); }
std::string DayDate::asGermanFormat() const { return format(DayPattern::german()); }

void DayDate::adjustSmaller100() {
  if (chronologicalJulianDay < kFirstDayOfYear100) chronologicalJulianDay += kTwoThousandYears;
}

std::optional<DayDate> DayDate::fromFields(const DayPattern::Fields& fields) {
  // Read at 00:00 UTC rather than at local midnight: local midnight east of
  // UTC+2 lies before 22:00 UTC of the day before, and the day rule would
  // give the day before the written date.
  auto calendar = newCalendar(utc());
  calendar->set(fields.year, clampToInt32(int64_t{fields.month} - 1), fields.day);
  UErrorCode status = U_ZERO_ERROR;
  const UDate millis = calendar->getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  DayDate result(0);
  result.setByMillisSince1970(static_cast<int64_t>(millis));
  return result;
}

std::optional<DayDate> DayDate::fromGerman(std::string_view text) {
  if (platform::Strings::trim(text).empty()) return std::nullopt;
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::ParsePosition position(0);
  const auto fields = DayPattern::german().read(unicode, position);
  if (!fields) return std::nullopt;
  std::optional<DayDate> day = fromFields(*fields);
  if (day) day->adjustSmaller100();
  return day;
}

DayDate DayDate::fromYearMonthDayFormat(std::string_view text) {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  icu::ParsePosition position(0);
  const auto fields = DayPattern::yearMonthDay().read(unicode, position);
  std::optional<DayDate> day = fields ? fromFields(*fields) : std::nullopt;
  if (!day) {
    const int32_t offset = fields ? position.getIndex() : position.getErrorIndex();
    throw PositionedParseException("Unparseable date: \"" + std::string(text) + "\"", offset);
  }
  return *day;
}

}  // namespace zentravilo::util
