#include "zentravilo/util/Euro.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "platform/Exceptions.h"
#include "zentravilo/ScopedDefaults.h"

namespace zentravilo::util {
namespace {

using testing::ScopedDefaults;

std::string plain(const Euro& euro) { return euro.getAmount().toPlainString(); }

TEST(EuroTest, TextsAreRoundedHalfDownToTwoPlaces) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"12.345", "12.34"},     {"12.3451", "12.35"},  {"-12.345", "-12.34"}, {"12.3449", "12.34"},
      {"-12.3451", "-12.35"},  {"0.995", "0.99"},     {"0.9951", "1.00"},    {"-0.001", "0.00"},
      {"0.005", "0.00"},       {"0.00500001", "0.01"}, {"+5", "5.00"},       {".5", "0.50"},
      {"5.", "5.00"},          {"1e2", "100.00"},     {"1.5E-1", "0.15"},    {"125E-3", "0.12"},
      {"-1.2e+3", "-1200.00"}, {"007.10", "7.10"},    {"0e10000", "0.00"}, {"1e-10000", "0.00"},
      {"99999999999999999999.995", "99999999999999999999.99"},
      {"99999999999999999999.9951", "100000000000000000000.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(plain(Euro(c.text)), c.expected) << c.text;
}

TEST(EuroTest, DoublesAreRoundedByTheExactValueTheyHold) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {0.125, "0.12"},  {1.005, "1.00"},   {2.675, "2.67"},  {12.345, "12.35"}, {0.115, "0.12"},
      {-2.675, "-2.67"}, {-0.125, "-0.12"}, {0.0, "0.00"},   {-0.0, "0.00"},    {1e20, "100000000000000000000.00"},
      {5e-324, "0.00"}, {1234.5, "1234.50"},
  };
  for (const auto& c : cases) EXPECT_EQ(plain(Euro(c.value)), c.expected) << c.value;
  EXPECT_EQ(Euro(std::numeric_limits<double>::max()).asCent().size(), 311u);
  for (const double bad : {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_THROW(Euro{bad}, platform::NumberFormatException);
  }
}

TEST(EuroTest, UnreadableTextsFailWithANumberFormatError) {
  for (const char* text : {"", " 1", "1 ", "1,5", "1.2.3", "e5", "1e", "1e+", "--1", "+-1", "€5", "5€",
                           "abc", "0x10", ".", "-", "1e2147483648", "1e-2147483649", "1e99999999999",
                           "1e1000001", "NaN", "Infinity", "1_000", "0e-999999999", "0e999999999",
                           "1e10001", "1e-10001", "0.5e+10001", "1e-2147483647"}) {
    EXPECT_THROW(Euro{text}, platform::NumberFormatException) << text;
  }
  // Exponents up to ten thousand either way are amounts like any other.
  EXPECT_EQ(Euro("1e10000").asCent().size(), 10003u);
  EXPECT_EQ(Euro("1e-10000").asCent(), "0");
}

TEST(EuroTest, Arithmetic) {
  EXPECT_EQ(plain(Euro("0.10").add(Euro("0.20"))), "0.30");
  EXPECT_TRUE(Euro("0.30").subtract(Euro("0.30")).isZero());
  EXPECT_FALSE(Euro("0.01").isZero());
  EXPECT_EQ(Euro("0.00").negate().asGermanString(), "0,00");
  EXPECT_EQ(plain(Euro("12.34").negate()), "-12.34");
  EXPECT_EQ(plain(Euro("1.00").subtract(Euro("2.50"))), "-1.50");
  EXPECT_EQ(plain(Euro("-1.00").add(Euro("-2.50"))), "-3.50");
  EXPECT_EQ(plain(Euro("-2.50").add(Euro("2.50"))), "0.00");
  EXPECT_EQ(plain(Euro("99999999999999999999.99").add(Euro("0.01"))), "100000000000000000000.00");
  EXPECT_EQ(plain(Euro("100000000000000000000.00").subtract(Euro("0.01"))), "99999999999999999999.99");
  const Euro a("5.00");
  a.add(Euro("1.00"));
  EXPECT_EQ(plain(a), "5.00");  // the receiver is unchanged
  EXPECT_EQ(plain(Euro(Decimal::parse("1.23456"))), "1.23");
  EXPECT_EQ(Euro(Euro("7.5")).getAmount().scale(), 2);
}

TEST(EuroTest, FromGermanFormat) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {{"12,5", "12.50"}, {"-3,2", "-3.20"}, {"12,345", "12.34"}, {"1,5E2", "150.00"},
               {"12.50", "12.50"}, {"0", "0.00"}};
  for (const auto& c : cases) EXPECT_EQ(plain(Euro::fromGermanFormat(c.text)), c.expected) << c.text;
  for (const char* text : {"1.234,56", " 12,5", "12,5 €", "12,5EUR", "", "1,2,3"}) {
    EXPECT_THROW(Euro::fromGermanFormat(text), platform::NumberFormatException) << text;
  }
}

TEST(EuroTest, FromCentCuts) {
  EXPECT_EQ(plain(Euro::fromCent(std::nullopt)), "0.00");
  EXPECT_EQ(plain(Euro::fromCent("")), "0.00");
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {{"1234", "12.34"}, {"5", "0.05"}, {"-5", "-0.05"}, {"12.9", "0.12"},
               {"-12.5", "-0.12"}, {"0.9", "0.00"}, {"1e3", "10.00"}};
  for (const auto& c : cases) EXPECT_EQ(plain(Euro::fromCent(c.text)), c.expected) << c.text;
  EXPECT_THROW(Euro::fromCent("abc"), platform::NumberFormatException);
  EXPECT_THROW(Euro::fromCent(" "), platform::NumberFormatException);
}

TEST(EuroTest, CentsAndGermanText) {
  const struct {
    const char* amount;
    const char* cents;
    const char* german;
  } cases[] = {
      {"12.34", "1234", "12,34"},   {"-0.05", "-5", "-0,05"},         {"0.00", "0", "0,00"},
      {"1234.5", "123450", "1234,50"}, {"1234567.8", "123456780", "1234567,80"},
  };
  for (const char* locale : {"de_DE", "en_US", "fr_CH"}) {
    ScopedDefaults defaults("UTC", locale);
    for (const auto& c : cases) {
      const Euro euro(c.amount);
      EXPECT_EQ(euro.asCent(), c.cents) << c.amount;
      EXPECT_EQ(euro.asGermanString(), c.german) << c.amount << " " << locale;
      EXPECT_EQ(euro.toString(), c.german) << c.amount;
    }
  }
  // Every digit of a long amount is written.
  const std::string digits(2000, '7');
  EXPECT_EQ(Euro(digits + ".5").asGermanString(), digits + ",50");
}

TEST(EuroTest, TextsOfAnyBytesGiveAnAmountOrANumberFormatError) {
  const std::string alphabet = std::string("0123456789.,+-eE \t") + '\0' + "\x80\xff\xe2\x82\xac";
  std::mt19937 random(12345);
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 16);
    for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
    for (int kind = 0; kind < 3; ++kind) {
      try {
        const Euro euro = kind == 0 ? Euro(text) : kind == 1 ? Euro::fromGermanFormat(text) : Euro::fromCent(text);
        EXPECT_EQ(euro.getAmount().scale(), 2);
        euro.asGermanString();
      } catch (const platform::NumberFormatException&) {
      }
    }
  }
}

}  // namespace
}  // namespace zentravilo::util
