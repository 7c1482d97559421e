#include "zentravilo/util/DayDateFormat.h"

#include <gtest/gtest.h>

#include <type_traits>

#include <unicode/udat.h>

#include "zentravilo/ScopedDefaults.h"
#include "zentravilo/util/Euro.h"

namespace zentravilo::util {
namespace {

using testing::ScopedDefaults;

TEST(DayDateFormatTest, FormatAppendsTheGermanText) {
  const DayDateFormat format;
  EXPECT_EQ(format.format(DayDate(2007, 3, 5)), "05.03.2007");

  std::string buffer = "Datum: ";
  icu::FieldPosition era(0);
  EXPECT_EQ(&format.format(DayDate(2007, 3, 5), buffer, era), &buffer);
  EXPECT_EQ(buffer, "Datum: 05.03.2007");
  EXPECT_EQ(era.getBeginIndex(), 0);
  EXPECT_EQ(era.getEndIndex(), 0);

  // Positions count UTF-16 code units: "Größe " is 6 of them in 7 bytes.
  const struct {
    int32_t field, begin, end;
  } fields[] = {{UDAT_DATE_FIELD, 6, 8}, {UDAT_MONTH_FIELD, 9, 11}, {UDAT_YEAR_FIELD, 12, 16}};
  for (const auto& f : fields) {
    std::string text = "Größe ";
    icu::FieldPosition position(f.field);
    format.format(DayDate(2007, 3, 5), text, position);
    EXPECT_EQ(position.getBeginIndex(), f.begin) << f.field;
    EXPECT_EQ(position.getEndIndex(), f.end) << f.field;
  }
}

TEST(DayDateFormatTest, OnlyDaysCanBeFormatted) {
  static_assert(!std::is_invocable_v<decltype(static_cast<std::string (DayDateFormat::*)(const DayDate&) const>(
                                         &DayDateFormat::format)),
                                     const DayDateFormat&, const Euro&>);
  static_assert(std::is_invocable_v<decltype(static_cast<std::string (DayDateFormat::*)(const DayDate&) const>(
                                        &DayDateFormat::format)),
                                    const DayDateFormat&, const DayDate&>);
}

TEST(DayDateFormatTest, ParseFromAPosition) {
  const DayDateFormat format;
  const std::string text = "Date: 01.02.2005";

  icu::ParsePosition from6(6);
  std::optional<DayDate> day = format.parseObject(text, from6);
  ASSERT_TRUE(day);
  EXPECT_EQ(day->asGermanFormat(), "01.02.2005");
  EXPECT_EQ(from6.getIndex(), 16);
  EXPECT_EQ(from6.getErrorIndex(), -1);

  icu::ParsePosition from0(0);
  EXPECT_FALSE(format.parseObject(text, from0));
  EXPECT_EQ(from0.getIndex(), 0);
  EXPECT_EQ(from0.getErrorIndex(), 0);

  icu::ParsePosition shortYear(0);
  day = format.parseObject("31.12.99", shortYear);
  ASSERT_TRUE(day);
  EXPECT_EQ(day->asGermanFormat(), "31.12.2099");
  EXPECT_EQ(shortYear.getIndex(), 8);
}

TEST(DayDateFormatTest, FailedParseNamesWhereReadingStopped) {
  const DayDateFormat format;
  const struct {
    const char* text;
    int32_t index, errorIndex;
  } cases[] = {
      {"01.02.", 0, 6}, {"01-02-2005", 0, 2}, {"x 01.x2.2005", 1, 5}, {"", 0, 0},
      {"01.02.2005", 10, 10}, {"01.02.2005", 11, 11}, {"01.02.2005", -3, -3},
      {"ä01.02.2005", 0, 0},
  };
  for (const auto& c : cases) {
    icu::ParsePosition position(c.index);
    EXPECT_FALSE(format.parseObject(c.text, position)) << c.text;
    EXPECT_EQ(position.getIndex(), c.index) << c.text;
    EXPECT_EQ(position.getErrorIndex(), c.errorIndex) << c.text;
  }
  // After a non-ASCII character the index is in UTF-16 code units.
  icu::ParsePosition afterUmlaut(2);
  ASSERT_TRUE(format.parseObject("ä 01.02.2005", afterUmlaut));
  EXPECT_EQ(afterUmlaut.getIndex(), 12);
}

TEST(DayDateFormatTest, ParseWholeText) {
  const DayDateFormat format;
  for (const char* text : {"", "   ", "2005-02-01", "01.02"}) {
    EXPECT_FALSE(format.parseObject(text)) << text;
  }
  for (const char* text : {"1.2.2005", "01.02.2005 und mehr", "01.02.05"}) {
    const std::optional<DayDate> day = format.parseObject(text);
    ASSERT_TRUE(day) << text;
    EXPECT_EQ(day->asGermanFormat(), "01.02.2005") << text;
  }
}

TEST(DayDateFormatTest, ReadsTheWrittenDateEastOfUtc) {
  ScopedDefaults defaults("Asia/Tokyo", "ja_JP");
  const DayDateFormat format;
  EXPECT_EQ(format.parseObject("01.02.2005")->asGermanFormat(), "01.02.2005");
  EXPECT_EQ(format.format(DayDate(2007, 3, 5)), "05.03.2007");
}

}  // namespace
}  // namespace zentravilo::util
