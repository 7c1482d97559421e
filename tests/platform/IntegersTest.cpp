#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace {

std::optional<int64_t> parsed(const std::string& text, bool asLong) {
  try {
    return asLong ? platform::Integers::parseLong(text) : platform::Integers::parseInt(text);
  } catch (const platform::NumberFormatException&) {
    return std::nullopt;
  }
}

TEST(Integers, ParsesSignsAndRefusesTheRest) {
  struct Case {
    const char* text;
    std::optional<int64_t> asInt;
    std::optional<int64_t> asLong;
  };
  const Case cases[] = {
      {"0", 0, 0},
      {"+7", 7, 7},
      {"-7", -7, -7},
      {"007", 7, 7},
      {"+2147483647", 2147483647, 2147483647},
      {"-2147483648", -2147483648LL, -2147483648LL},
      {"2147483648", std::nullopt, 2147483648LL},
      {"+9223372036854775807", std::nullopt, INT64_MAX},
      {"", std::nullopt, std::nullopt},
      {"+", std::nullopt, std::nullopt},
      {"-", std::nullopt, std::nullopt},
      {"+-1", std::nullopt, std::nullopt},
      {"++1", std::nullopt, std::nullopt},
      {" 1", std::nullopt, std::nullopt},
      {"1x", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parsed(c.text, false), c.asInt) << c.text;
    EXPECT_EQ(parsed(c.text, true), c.asLong) << c.text;
  }
  EXPECT_EQ(platform::Integers::parseSignedDigits("-7"), -7);
  EXPECT_THROW(platform::Integers::parseSignedDigits("+7"), platform::NumberFormatException);
}

}  // namespace
