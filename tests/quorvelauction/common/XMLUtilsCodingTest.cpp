#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "quorvelauction/common/XMLUtils.h"

using quorvelauction::common::XMLUtils;

namespace {

using Case = std::pair<std::string, std::string>;

TEST(XMLUtilsCoding, Escape) {
  const Case cases[] = {
      {"a b", "a+b"},
      {"\xC3\xA4", "%C3%A4"},
      {"\xE2\x82\xAC", "%E2%82%AC"},
      {"x-y.z", "x%2Dy%2Ez"},
      {"_*~", "%5F%2A%7E"},
      {"\n", "%0A"},
      {"", ""},
      {"Az09", "Az09"},
      {"\xF0\x9F\x98\x80", "%3F%3F"},  // outside the BMP: two lone halves
      {"a=b&c", "a%3Db%26c"},
      // ASCII text takes a short way; text with any other byte the full one.
      {"ab \xC3\xA4", "ab+%C3%A4"},
      {"\x7F~", "%7F%7E"},
      {std::string("\0z", 2), "%00z"},
      {"a\xFF", "a%EF%BF%BD"},  // a stray byte is U+FFFD
      // Runs of letters and digits between escaped characters, at either end.
      {"=ab", "%3Dab"},
      {"ab=", "ab%3D"},
      {"func=echo a0=hello", "func%3Decho+a0%3Dhello"},
      {"==  ", "%3D%3D++"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(XMLUtils::escape(in), out) << in;
}

TEST(XMLUtilsCoding, Unescape) {
  const Case cases[] = {
      {"a+b%21", "a b!"},
      {"+x+", "x"},
      {"%E2%82%AC", "&euro;"},
      {"'it''", "it'"},
      {"'", ""},
      {"  x  ", "x"},
      {"%C3", "\xEF\xBF\xBD"},
      {"%c3%a4", "\xC3\xA4"},
      {"\xC3\xA4+%C3%A4", "\xC3\xA4 \xC3\xA4"},
      {"%09a%0A", "a"},
      {"%27x%27", "x"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(XMLUtils::unescape(in), out) << in;
  EXPECT_EQ(XMLUtils::unescape(std::optional<std::string>()), "");
  for (const char* bad : {"100%", "%4", "%G1", "a%zzb"})
    EXPECT_THROW(XMLUtils::unescape(bad), platform::IllegalArgumentException) << bad;
}

TEST(XMLUtilsCoding, EncodeXmlAndHtml) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // input, encodeXML, encodeHtml
      {"a<b & c", "a&lt;b &amp; c", "a&lt;b &amp; c"},
      {"\"", "&quot;", "&quot;"},
      {"it's", "it's", "it&#039;s"},
      {"a\\b", "a\\b", "a&#092;b"},
      {"", "", "&nbsp;"},
      {"\t\n\r\x01\xC3\xA4>", "\t\n\r\x01\xC3\xA4&gt;", "\t\n\r\x01\xC3\xA4&gt;"},
  };
  for (const auto& [in, xml, html] : cases) {
    EXPECT_EQ(XMLUtils::encodeXML(in), xml) << in;
    EXPECT_EQ(XMLUtils::encodeHtml(in), html) << in;
  }
  EXPECT_EQ(XMLUtils::encodeXML(std::optional<std::string>()), "");
  EXPECT_EQ(XMLUtils::encodeHtml(std::optional<std::string>()), "&nbsp;");
}

TEST(XMLUtilsCoding, EscapeUmlaut) {
  EXPECT_EQ(XMLUtils::escapeUmlaut("Gr\xC3\xB6\xC3\x9F" "e"), "Gr&ouml;&szlig;e");
  EXPECT_EQ(XMLUtils::escapeUmlaut("\xC3\xA4\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C & x"),
            "&auml;&uuml;&Auml;&Ouml;&Uuml; & x");
}

TEST(XMLUtilsCoding, HtmlToText) {
  const Case cases[] = {
      {"<b>Hallo</b> Welt", "Hallo  Welt"},
      {"&lt;b&gt;x", "<b>x"},
      {"'<i>x</i>'", " x "},
      {"a < b", "a < b"},
      {"a <br\n/> b", "a   b"},
      {"x <!-- c --> y <", "x   y <"},
      {"5&euro; &amp; &nbsp;", "5\xE2\x82\xAC &amp; &nbsp;"},
      {"  'quoted'  ", "quoted"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(XMLUtils::htmlToText(in), out) << in;
}

}  // namespace
