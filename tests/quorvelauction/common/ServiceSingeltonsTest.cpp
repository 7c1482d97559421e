#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "quorvelauction/common/ServiceSingeltons.h"

using quorvelauction::common::ServiceSingeltons;

TEST(ServiceSingeltons, EncodesFormStyleAndDecodesBack) {
  struct Case {
    std::string text;
    std::string encoded;
  };
  const Case cases[] = {
      {"a b&c", "a+b%26c"},
      {"Gr\xC3\xB6\xC3\x9F" "e", "Gr%C3%B6%C3%9Fe"},
      {"\xE2\x82\xAC 5", "%E2%82%AC+5"},
      {"-_.*~+%/", "-_.*%7E%2B%25%2F"},
      {"AZaz09", "AZaz09"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServiceSingeltons::encodeURL(c.text), c.encoded) << c.text;
    EXPECT_EQ(ServiceSingeltons::decodeURL(c.encoded), c.text) << c.encoded;
  }
}

TEST(ServiceSingeltons, DecodingIsLenientAboutCaseAndPlainCharacters) {
  EXPECT_EQ(ServiceSingeltons::decodeURL("%c3%a4+x~/"), "\xC3\xA4 x~/");
  EXPECT_EQ(ServiceSingeltons::decodeURL("\xC3\xA4"), "\xC3\xA4");  // other characters stay
  EXPECT_EQ(ServiceSingeltons::decodeURL("%FF"), "\xEF\xBF\xBD");  // no UTF-8: U+FFFD
}

TEST(ServiceSingeltons, AbsentStaysAbsent) {
  EXPECT_EQ(ServiceSingeltons::encodeURL(std::optional<std::string>()), std::nullopt);
  EXPECT_EQ(ServiceSingeltons::decodeURL(std::optional<std::string>()), std::nullopt);
  EXPECT_EQ(ServiceSingeltons::decodeURL(std::optional<std::string>("a+b")), "a b");
}

TEST(ServiceSingeltons, IncompleteOrBadEscapeFails) {
  for (const char* text : {"%", "abc%4", "%4", "%G1", "%1G", "x%%41"}) {
    EXPECT_THROW(ServiceSingeltons::decodeURL(text), platform::DecoderException) << text;
  }
}
