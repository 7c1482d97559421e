#include <gtest/gtest.h>

#include "platform/Charset.h"
#include "platform/Exceptions.h"

using namespace platform;

namespace {

struct RoundTrip {
  const char* charset;
  std::string text;   // UTF-8
  std::string bytes;  // in the charset
};

}  // namespace

TEST(Charset, EncodesAndDecodesEachNamedSet) {
  const RoundTrip cases[] = {
      {"utf-8", "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC", "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC"},
      {"iso-8859-1", "Gr\xC3\xB6\xC3\x9F" "e", "Gr\xF6\xDF" "e"},
      {"ISO-8859-1", "\xC2\x80\xC3\xBF", "\x80\xFF"},
      // Turkish letters of Latin-5 where Latin-1 has Icelandic ones.
      {"iso-8859-9", "\xC4\x9E\xC4\xB0\xC5\x9E\xC4\x9F\xC4\xB1\xC5\x9F", "\xD0\xDD\xDE\xF0\xFD\xFE"},
      {"Iso-8859-9", "a\xC3\xA4", "a\xE4"},
      // Big-endian behind its mark; a character outside the BMP as a pair.
      {"UTF-16", "A\xE2\x82\xAC", std::string("\xFE\xFF\x00" "A\x20\xAC", 6)},
      {"utf-16", "\xF0\x9F\x98\x80", std::string("\xFE\xFF\xD8\x3D\xDE\x00", 6)},
      {"UTF-16", "", ""},
  };
  for (const auto& c : cases) {
    Charset charset = Charset::forName(c.charset);
    EXPECT_EQ(charset.encode(c.text), c.bytes) << c.charset;
    EXPECT_EQ(charset.decode(c.bytes), c.text) << c.charset;
  }
}

TEST(Charset, Utf16ReadsEitherByteOrder) {
  Charset utf16 = Charset::forName("UTF-16");
  EXPECT_EQ(utf16.decode(std::string("\xFF\xFE" "A\x00\xAC\x20", 6)), "A\xE2\x82\xAC");
  EXPECT_EQ(utf16.decode(std::string("\x00" "A\x00" "B", 4)), "AB");  // no mark: big-endian
}

TEST(Charset, MalformedInputAndMissingCharacters) {
  // Bytes that are no UTF-8 read as U+FFFD.
  EXPECT_EQ(Charset::utf8().decode("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Charset::utf8().decode("a\xC3"), "a\xEF\xBF\xBD");
  // A character that Latin-1 or Latin-5 lacks is written as "?", a pair as one.
  EXPECT_EQ(Charset::iso88591().encode("\xE2\x82\xAC|\xF0\x9F\x98\x80|\xC4\x9E"), "?|?|?");
  EXPECT_EQ(Charset::forName("iso-8859-9").encode("\xE2\x82\xAC \xC3\x90"), "? ?");
  // An odd trailing byte of UTF-16 reads as U+FFFD.
  EXPECT_EQ(Charset::forName("UTF-16").decode(std::string("\x00" "A\x00", 3)), "A\xEF\xBF\xBD");
}

TEST(Charset, UnknownNameIsUnsupported) {
  for (const char* name : {"", "utf-7", "latin-2", "utf-8 "}) {
    EXPECT_THROW(Charset::forName(name), UnsupportedEncodingException) << name;
  }
  try {
    Charset::forName("x-unknown");
    FAIL();
  } catch (const UnsupportedEncodingException& e) {
    EXPECT_EQ(e.message(), "x-unknown");
  }
}

TEST(Charset, StreamingJoinsCharactersCutBetweenPieces) {
  const std::string text = "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z";
  for (const char* name : {"utf-8", "UTF-16", "iso-8859-9"}) {
    Charset charset = Charset::forName(name);
    std::string bytes = charset.encode(text);
    std::string decoded;
    Charset::Decoder decoder(charset);
    for (char b : bytes) decoder.decode(std::string_view(&b, 1), false, decoded);
    decoder.decode({}, true, decoded);
    EXPECT_EQ(decoded, charset.decode(bytes)) << name;

    std::string encoded;
    Charset::Encoder encoder(charset);
    for (char t : text) encoder.encode(std::string_view(&t, 1), false, encoded);
    encoder.encode({}, true, encoded);
    EXPECT_EQ(encoded, bytes) << name;
  }
}

// Whole texts in UTF-8 skip the converters when they are well-formed; the
// converters, driven piece by piece, give the same bytes for every case.
TEST(Charset, Utf8WholeTextsMatchTheConverters) {
  const std::string cases[] = {
      "", "plain", "Gr\xC3\xB6\xC3\x9F" "e", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF",
      "\xEF\xBB\xBF" "mark", "\xEF\xBF\xBE", "\xEE\x80\x80", "\xED\x9F\xBF",
      // Malformed: a lone continuation, a cut sequence, an encoded surrogate,
      // an overlong form, bytes never used, a value past U+10FFFF.
      "\x80", "a\xC3", "\xE2\x82" "a", "\xED\xA0\x80", "\xC0\xAF", "\xFF\xFE", "\xF4\x90\x80\x80",
  };
  const Charset utf8 = Charset::forName("utf-8");
  for (const std::string& text : cases) {
    std::string encoded;
    Charset::Encoder(utf8).encode(text, true, encoded);
    EXPECT_EQ(utf8.encode(text), encoded) << testing::PrintToString(text);
    std::string decoded;
    Charset::Decoder decoder(utf8);
    for (char c : text) decoder.decode(std::string_view(&c, 1), false, decoded);
    decoder.decode("", true, decoded);
    EXPECT_EQ(utf8.decode(text), decoded) << testing::PrintToString(text);
  }
}
