#include "zentravilo/util/DayDate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "zentravilo/util/PositionedParseException.h"
#include "zentravilo/ScopedDefaults.h"

namespace zentravilo::util {
namespace {

using testing::ScopedDefaults;

platform::Date at(int64_t millis) { return platform::Date(millis); }

std::string ymd(const DayDate& day) { return day.asYearMonthDayFormat(); }

std::unique_ptr<icu::TimeZone> zone(const char* id) {
  return std::unique_ptr<icu::TimeZone>(icu::TimeZone::createTimeZone(id));
}

TEST(DayDateTest, DayNumberOfAnInstantChangesAt2200Utc) {
  constexpr int64_t kHour = 3600000;
  const struct {
    int64_t millis;
    int32_t day;
  } cases[] = {
      {0, 2440587},
      {22 * kHour - 1, 2440587},
      {22 * kHour, 2440588},
      {-2 * kHour, 2440587},
      {-2 * kHour - 1, 2440586},
      // Before the first day the quotient is truncated toward zero.
      {-210866724000000LL + 86399999, 0},
      {-210866724000000LL - 86399999, 0},
      {-210866724000000LL - 86400000, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DayDate(at(c.millis)).getChronologicalJulianDay(), c.day) << c.millis;
    EXPECT_EQ(DayDate(at(c.millis), *zone("Asia/Tokyo")).getChronologicalJulianDay(), c.day);
  }
}

TEST(DayDateTest, LateEveningInCentralEuropeIsTheNextDay) {
  // 23:30 CET on 31 December 2006 is 22:30 UTC.
  const DayDate day(at(1167604200000LL));
  EXPECT_EQ(day.getChronologicalJulianDay(), DayDate(2007, 1, 1).getChronologicalJulianDay());
  for (const char* id : {"Europe/Berlin", "UTC", "America/New_York", "Asia/Tokyo"}) {
    ScopedDefaults defaults(id, "de_DE");
    EXPECT_EQ(day.asGermanFormat(), "01.01.2007") << id;
  }
}

TEST(DayDateTest, FromCalendarDateCarriesOverLeniently) {
  const struct {
    int32_t year, month, day;
    const char* expected;
  } cases[] = {
      {2000, 1, 1, "2000/01/01"}, {2005, 13, 1, "2006/01/01"}, {2005, 2, 30, "2005/03/02"},
      {2005, 3, 0, "2005/02/28"}, {2005, 0, 1, "2004/12/01"},  {2004, 2, 29, "2004/02/29"},
      // The Julian calendar has a 29 February in 1500, the Gregorian none in 1900.
      {1500, 2, 29, "1500/02/29"}, {1900, 2, 29, "1900/03/01"},
      // A date in the change-over gap is read in the Julian calendar.
      {1582, 10, 10, "1582/10/20"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ymd(DayDate(c.year, c.month, c.day)), c.expected) << c.year << "-" << c.month << "-" << c.day;
  }
  EXPECT_EQ(DayDate(1970, 1, 1).getChronologicalJulianDay(), 2440587);
  EXPECT_EQ(DayDate(2000, 1, 1).getChronologicalJulianDay(), 2451544);
}

TEST(DayDateTest, YearsBeforeYearOneCountBackwards) {
  const DayDate ides(-44, 3, 15);
  EXPECT_EQ(ides.getYear(), 44);
  EXPECT_EQ(ides.getMonth(), 3);
  EXPECT_EQ(ides.getDayOfMonth(), 15);
  EXPECT_LT(ides.compareTo(DayDate(1, 1, 1)), 0);
  EXPECT_EQ(ides.asGermanFormat(), "15.03.0044");

  const DayDate lastBeforeOne = DayDate(1, 1, 1).previousDay();
  EXPECT_EQ(lastBeforeOne.getYear(), 1);
  EXPECT_EQ(ymd(lastBeforeOne), "0001/12/31");
  // Year 0 is the year before year 1.
  EXPECT_EQ(DayDate(0, 12, 31).daysDiff(lastBeforeOne), 0);
  EXPECT_EQ(DayDate(-1, 12, 31).daysDiff(lastBeforeOne), 0);
  // One year on from 44 before year 1 is 43 before it.
  EXPECT_EQ(ides.nextYear().getYear(), 43);
}

TEST(DayDateTest, ChangeOverFrom4To15October1582) {
  EXPECT_EQ(ymd(DayDate(2299159)), "1582/10/04");
  EXPECT_EQ(ymd(DayDate(2299160)), "1582/10/15");
  EXPECT_EQ(DayDate(1582, 10, 4).nextDay().getChronologicalJulianDay(), 2299160);
  EXPECT_EQ(DayDate(1582, 10, 15).daysDiff(DayDate(1582, 10, 4)), 1);
  EXPECT_EQ(ymd(DayDate(1582, 10, 20).firstDayOfMonth()), "1582/10/01");
  EXPECT_EQ(ymd(DayDate(1582, 10, 1).lastDayOfMonth()), "1582/10/31");
}

TEST(DayDateTest, FieldArithmeticKeepsTheMonthEnd) {
  const DayDate jan31(2004, 1, 31), feb29(2004, 2, 29), mar31(2004, 3, 31), dec31(2004, 12, 31);
  const struct {
    DayDate result;
    const char* expected;
  } cases[] = {
      {jan31.addMonths(1), "2004/02/29"},   {feb29.addYears(1), "2005/02/28"},
      {mar31.subMonths(1), "2004/02/29"},   {dec31.nextDay(), "2005/01/01"},
      {dec31.addDays(60), "2005/03/01"},    {jan31.subDays(31), "2003/12/31"},
      {jan31.previousDay(), "2004/01/30"},  {jan31.nextMonth(), "2004/02/29"},
      {mar31.previousMonth(), "2004/02/29"}, {feb29.nextYear(), "2005/02/28"},
      {feb29.previousYear(), "2003/02/28"}, {feb29.subYears(4), "2000/02/29"},
      {jan31.addMonths(-13), "2002/12/31"}, {dec31.addYears(-2004), "0001/12/31"},
  };
  for (const auto& c : cases) EXPECT_EQ(ymd(c.result), c.expected);
  EXPECT_EQ(ymd(jan31), "2004/01/31");  // the receiver is unchanged
  EXPECT_EQ(jan31.addDays(5).getChronologicalJulianDay(), jan31.getChronologicalJulianDay() + 5);
}

TEST(DayDateTest, MonthEnds) {
  EXPECT_EQ(ymd(DayDate(1900, 2, 15).firstDayOfMonth()), "1900/02/01");
  EXPECT_EQ(ymd(DayDate(1900, 2, 15).lastDayOfMonth()), "1900/02/28");
  EXPECT_EQ(ymd(DayDate(2000, 2, 15).firstDayOfMonth()), "2000/02/01");
  EXPECT_EQ(ymd(DayDate(2000, 2, 15).lastDayOfMonth()), "2000/02/29");
  EXPECT_EQ(ymd(DayDate(2007, 4, 1).lastDayOfMonth()), "2007/04/30");
}

TEST(DayDateTest, DifferenceAndOrder) {
  const DayDate march1(2004, 3, 1), feb28(2004, 2, 28);
  EXPECT_EQ(march1.daysDiff(feb28), 2);
  EXPECT_EQ(march1.daysDiff(march1), 0);
  EXPECT_EQ(feb28.daysDiff(march1), -2);
  EXPECT_EQ(DayDate(100).compareTo(DayDate(5000000)), -1);
  EXPECT_EQ(DayDate(5000000).compareTo(DayDate(100)), 1);
  EXPECT_EQ(march1.compareTo(march1.clone()), 0);
}

TEST(DayDateTest, TextFormsShowTheDaysOwnDateInEveryZone) {
  // Thai and Japanese-imperial locales have calendars of their own; the
  // day's date is Gregorian (Julian before 1582) all the same.
  const struct {
    const char* zone;
    const char* locale;
  } settings[] = {{"UTC", "en_US"},          {"Pacific/Kiritimati", "en_US"}, {"Pacific/Pago_Pago", "en_US"},
                  {"Asia/Kolkata", "hi_IN"}, {"America/Los_Angeles", "en_US"}, {"Europe/Berlin", "de_DE"},
                  {"Asia/Bangkok", "th_TH"}, {"Asia/Tokyo", "ja_JP@calendar=japanese"}};
  for (const auto& [id, locale] : settings) {
    ScopedDefaults defaults(id, locale);
    const DayDate epoch(2440587);
    EXPECT_EQ(epoch.asGermanFormat(), "01.01.1970") << id;
    EXPECT_EQ(epoch.asSqlFormat(), "1970-01-01") << id;
    EXPECT_EQ(epoch.asYearMonthDayFormat(), "1970/01/01") << id;
    EXPECT_EQ(epoch.toString(), "01.01.1970") << id;
    const DayDate day(2007, 3, 5);
    EXPECT_EQ(day.asGermanFormat(), "05.03.2007") << id;
    EXPECT_EQ(day.asSqlFormat(), "2007-03-05") << id;
    EXPECT_EQ(day.asYearMonthDayFormat(), "2007/03/05") << id;
  }
  EXPECT_EQ(DayDate(12345, 6, 7).asGermanFormat(), "07.06.12345");
  EXPECT_EQ(DayDate(5, 6, 7).asSqlFormat(), "0005-06-07");
}

TEST(DayDateTest, GetDateIsLocalMidnight) {
  const DayDate day(2007, 3, 5);
  EXPECT_EQ(day.getDate(*zone("Europe/Berlin")).getTime(), 1173049200000LL);  // 2007-03-04 23:00 UTC
  EXPECT_EQ(day.getDate(*zone("UTC")).getTime(), 1173052800000LL);
  {
    ScopedDefaults defaults("America/New_York", "en_US");
    EXPECT_EQ(day.getDate().getTime(), 1173070800000LL);  // 05:00 UTC
  }
  // A day before year 1 stays before it.
  const DayDate ides(-44, 3, 15);
  EXPECT_EQ(DayDate(ides.getDate(*zone("UTC"))).daysDiff(ides), 0);
}

TEST(DayDateTest, TodayIsTheDayOfTheCurrentInstant) {
  const DayDate today;
  EXPECT_LE(std::abs(DayDate(platform::Date::now()).daysDiff(today)), 1);
}

class FromGermanTest : public ::testing::TestWithParam<const char*> {};

TEST_P(FromGermanTest, ReadsTheWrittenDate) {
  ScopedDefaults defaults(GetParam(), "de_DE");
  const struct {
    const char* text;
    const char* expected;  // yyyy/MM/dd, or null for no day
  } cases[] = {
      {"", nullptr},
      {"   ", nullptr},
      {"\t\n ", nullptr},
      {"1.2.2005", "2005/02/01"},
      {"01.02.2005", "2005/02/01"},
      {"01.02.2005xyz", "2005/02/01"},
      {"01.02.2005 12:00", "2005/02/01"},
      {" 1. 2.\t2005", "2005/02/01"},
      {"31.02.2005", "2005/03/03"},
      {"01.02.05", "2005/02/01"},
      {"31.12.99", "2099/12/31"},
      {"01.01.0100", "0100/01/01"},
      {"29.02.00", "2000/02/29"},
      {"2005-02-01", nullptr},
      {"01.02.", nullptr},
      {"01.02", nullptr},
      {"01 .02.2005", nullptr},
      {"a01.02.2005", nullptr},
      {"-.02.2005", nullptr},
      {"99999999999.02.2005", nullptr},
      {"01.02.-99999999999", nullptr},
  };
  for (const auto& c : cases) {
    const std::optional<DayDate> day = DayDate::fromGerman(c.text);
    if (c.expected == nullptr) {
      EXPECT_FALSE(day) << c.text;
    } else {
      ASSERT_TRUE(day) << c.text;
      EXPECT_EQ(ymd(*day), c.expected) << c.text;
    }
  }
}

// East of UTC+2 local midnight lies before 22:00 UTC of the day before; the
// written date is read all the same.
INSTANTIATE_TEST_SUITE_P(Zones, FromGermanTest,
                         ::testing::Values("UTC", "Europe/Berlin", "Europe/Helsinki", "Asia/Tokyo",
                                           "Pacific/Kiritimati", "America/New_York",
                                           "Pacific/Pago_Pago"));

TEST(DayDateTest, FromYearMonthDayFormat) {
  EXPECT_EQ(DayDate::fromYearMonthDayFormat("2007/03/05").asGermanFormat(), "05.03.2007");
  EXPECT_EQ(DayDate::fromYearMonthDayFormat("2007/3/5 and more").asGermanFormat(), "05.03.2007");
  // No two-digit year adjustment here.
  const DayDate early = DayDate::fromYearMonthDayFormat("05/02/01");
  EXPECT_EQ(early.getYear(), 5);
  EXPECT_EQ(ymd(early), "0005/02/01");

  const struct {
    const char* text;
    int32_t offset;
  } failures[] = {{"2007-03-05", 4}, {"", 0}, {"2007/03", 7}, {"x2007/03/05", 0}, {"2007/ /05", 6}};
  for (const auto& f : failures) {
    try {
      DayDate::fromYearMonthDayFormat(f.text);
      ADD_FAILURE() << f.text;
    } catch (const PositionedParseException& e) {
      EXPECT_EQ(e.getErrorOffset(), f.offset) << f.text;
    }
  }
}

TEST(DayDateTest, AdjustSmaller100) {
  DayDate early(1757581);
  EXPECT_EQ(ymd(early), "0099/12/31");
  early.adjustSmaller100();
  EXPECT_EQ(early.getChronologicalJulianDay(), 2488068);
  EXPECT_EQ(ymd(early), "2099/12/31");

  DayDate hundred(1757582);
  hundred.adjustSmaller100();
  EXPECT_EQ(hundred.getChronologicalJulianDay(), 1757582);

  // Leap days of the years 0..99 land on the same date.
  DayDate leap(4, 2, 29);
  leap.adjustSmaller100();
  EXPECT_EQ(ymd(leap), "2004/02/29");
}

TEST(DayDateTest, ExtremeDayNumbersAndAmountsNeverCrash) {
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  const int32_t kMax = std::numeric_limits<int32_t>::max();
  for (const int32_t n : {kMin, kMin + 1, -1, 0, kMax - 1, kMax}) {
    const DayDate day(n);
    for (const int32_t amount : {kMin, -1, 1, kMax}) {
      try {
        day.addDays(amount);
        day.subDays(amount);
        day.addMonths(amount);
        day.subMonths(amount);
        day.addYears(amount);
        day.subYears(amount);
        day.lastDayOfMonth();
        day.firstDayOfMonth();
        day.getYear();
        day.asGermanFormat();
        day.getDate();
      } catch (const platform::Exception&) {
        // Outside the calendar's range a clear failure is fine.
      }
    }
    EXPECT_EQ(DayDate(n).daysDiff(DayDate(n)), 0);
  }
  for (const int32_t field : {kMin, kMax}) {
    try {
      DayDate(field, field, field);
      DayDate(2000, field, 1);
    } catch (const platform::Exception&) {
    }
  }
}

TEST(DayDateTest, DayTextsOfAnyBytesNeverCrash) {
  const std::string alphabet = std::string("0123456789.-/ \t\r\nxE+") + '\0' + "\x80\xff\xc3\xa4";
  std::mt19937 random(20070305);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    std::optional<DayDate> day = DayDate::fromGerman(text);
    if (day) day->asGermanFormat();
    try {
      DayDate::fromYearMonthDayFormat(text).asSqlFormat();
    } catch (const PositionedParseException& e) {
      EXPECT_GE(e.getErrorOffset(), 0);
    }
  }
}

}  // namespace
}  // namespace zentravilo::util
