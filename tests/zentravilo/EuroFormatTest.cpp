#include "zentravilo/util/EuroFormat.h"

#include <gtest/gtest.h>

#include <type_traits>

#include <unicode/unum.h>

#include "zentravilo/ScopedDefaults.h"
#include "zentravilo/util/DayDate.h"
#include "zentravilo/util/PositionedParseException.h"

namespace zentravilo::util {
namespace {

using testing::ScopedDefaults;

TEST(EuroFormatTest, FormatUsesTheLocalesDecimalSeparator) {
  const Euro amount("1234.50");
  {
    ScopedDefaults defaults("UTC", "de_DE");
    EXPECT_EQ(EuroFormat().format(amount), "1234,50");
    EXPECT_EQ(amount.asGermanString(), "1234,50");
  }
  {
    ScopedDefaults defaults("UTC", "en_US");
    EXPECT_EQ(EuroFormat().format(amount), "1234.50");
    EXPECT_EQ(EuroFormat().format(Euro("-0.05")), "-0.05");
    EXPECT_EQ(amount.asGermanString(), "1234,50");
  }
}

TEST(EuroFormatTest, LocaleIsTheOneWhenTheFormatWasMade) {
  std::unique_ptr<EuroFormat> format;
  {
    ScopedDefaults defaults("UTC", "de_DE");
    format = std::make_unique<EuroFormat>();
  }
  ScopedDefaults defaults("UTC", "en_US");
  EXPECT_EQ(format->format(Euro("3.10")), "3,10");
}

TEST(EuroFormatTest, FormatAppendsAndRecordsTheField) {
  ScopedDefaults defaults("UTC", "en_US");
  const EuroFormat format;
  std::string buffer = "Größe: ";
  icu::FieldPosition integer(UNUM_INTEGER_FIELD);
  EXPECT_EQ(&format.format(Euro("1234.5"), buffer, integer), &buffer);
  EXPECT_EQ(buffer, "Größe: 1234.50");
  EXPECT_EQ(integer.getBeginIndex(), 7);  // UTF-16 code units
  EXPECT_EQ(integer.getEndIndex(), 11);

  static_assert(!std::is_invocable_v<decltype(static_cast<std::string (EuroFormat::*)(const Euro&) const>(
                                         &EuroFormat::format)),
                                     const EuroFormat&, const DayDate&>);
}

TEST(EuroFormatTest, ParseFromAPosition) {
  ScopedDefaults defaults("UTC", "en_US");
  const EuroFormat format;

  icu::ParsePosition empty(0);
  EXPECT_FALSE(format.parseObject("", empty));
  EXPECT_EQ(empty.getIndex(), 0);
  EXPECT_EQ(empty.getErrorIndex(), -1);

  icu::ParsePosition price(7);
  std::optional<Euro> euro = format.parseObject("Price: 2.675 EUR", price);
  ASSERT_TRUE(euro);
  EXPECT_EQ(euro->getAmount().toPlainString(), "2.67");  // the double just below 2.675
  EXPECT_EQ(price.getIndex(), 12);

  icu::ParsePosition negative(0);
  euro = format.parseObject("-12.5", negative);
  ASSERT_TRUE(euro);
  EXPECT_EQ(euro->getAmount().toPlainString(), "-12.50");

  for (const char* text : {"abc", "∞", "-∞", "NaN"}) {
    icu::ParsePosition position(0);
    EXPECT_FALSE(format.parseObject(text, position)) << text;
    EXPECT_EQ(position.getIndex(), 0) << text;
    EXPECT_EQ(position.getErrorIndex(), 0) << text;
  }
  for (const int32_t index : {-1, 3, 4}) {
    icu::ParsePosition position(index);
    EXPECT_FALSE(format.parseObject("1.5", position)) << index;
    EXPECT_EQ(position.getIndex(), index);
  }
}

TEST(EuroFormatTest, ParseWithGermanSymbols) {
  ScopedDefaults defaults("UTC", "de_DE");
  icu::ParsePosition position(0);
  const std::optional<Euro> euro = EuroFormat().parseObject("12,5", position);
  ASSERT_TRUE(euro);
  EXPECT_EQ(euro->asGermanString(), "12,50");
  EXPECT_EQ(position.getIndex(), 4);
}

TEST(EuroFormatTest, ParseWholeTextFailsWhenNothingReads) {
  ScopedDefaults defaults("UTC", "en_US");
  const EuroFormat format;
  EXPECT_EQ(format.parseObject("3.10").getAmount().toPlainString(), "3.10");
  for (const char* text : {"", "abc"}) {
    try {
      format.parseObject(text);
      ADD_FAILURE() << text;
    } catch (const PositionedParseException& e) {
      EXPECT_EQ(e.getErrorOffset(), 0) << text;
    }
  }
}

}  // namespace
}  // namespace zentravilo::util
