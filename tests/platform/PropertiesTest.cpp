#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/InputStreamReader.h"
#include "platform/Properties.h"
#include "platform/Regex.h"
#include "platform/Strings.h"
#include "support/TempDir.h"

using namespace platform;

namespace {

const std::string kFolder = testsupport::conformanceDir() + "/properties/";

// The escapes of the conformance files: \n \t \r \\ and \uXXXX.
std::string unescapeCase(const std::string& text) {
  std::u16string out;
  std::u16string in = Strings::toUtf16(text);
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\' || i + 1 == in.size()) {
      out.push_back(in[i]);
      continue;
    }
    char16_t c = in[++i];
    if (c == 'n') out.push_back('\n');
    else if (c == 't') out.push_back('\t');
    else if (c == 'r') out.push_back('\r');
    else if (c == 'u') {
      out.push_back(static_cast<char16_t>(std::stoi(Strings::fromUtf16(in.substr(i + 1, 4)), nullptr, 16)));
      i += 4;
    } else {
      out.push_back(c);
    }
  }
  return Strings::fromUtf16(out);
}

std::string escapeCase(const std::string& text) {
  std::string out;
  for (char16_t c : Strings::toUtf16(text)) {
    char hex[8];
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x20 || c > 0x7E) {
      std::snprintf(hex, sizeof hex, "\\u%04x", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> casesWithSuffix(const std::string& suffix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kFolder)) {
    std::string name = entry.path().filename().string();
    if (Strings::endsWith(name, suffix)) names.push_back(name.substr(0, name.size() - suffix.size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

Properties loadBytes(const std::string& bytes) {
  Properties properties;
  ByteArrayInputStream in(bytes);
  properties.load(in);
  return properties;
}

std::string storeBytes(const Properties& properties, const std::optional<std::string>& comments) {
  ByteArrayOutputStream out;
  properties.store(out, comments);
  return out.bytes();
}

}  // namespace

TEST(PropertiesConformance, LoadCases) {
  auto names = casesWithSuffix(".properties");
  ASSERT_FALSE(names.empty());
  for (const auto& name : names) {
    Properties properties = loadBytes(testsupport::TempDir::read(kFolder + name + ".properties"));
    std::vector<std::string> keys = properties.keys();
    std::sort(keys.begin(), keys.end(),
              [](const std::string& a, const std::string& b) { return Strings::compareTo(a, b) < 0; });
    std::vector<std::string> got;
    for (const auto& key : keys) got.push_back(escapeCase(key) + "\t" + escapeCase(*properties.get(key)));
    EXPECT_EQ(got, splitLines(testsupport::TempDir::read(kFolder + name + ".expected"))) << name;
  }
}

TEST(PropertiesConformance, StoreCases) {
  auto names = casesWithSuffix(".in");
  ASSERT_FALSE(names.empty());
  for (const auto& name : names) {
    Properties properties;
    for (const auto& line : splitLines(testsupport::TempDir::read(kFolder + name + ".in"))) {
      size_t tab = line.find('\t');
      ASSERT_NE(tab, std::string::npos) << line;
      properties.setProperty(unescapeCase(line.substr(0, tab)), unescapeCase(line.substr(tab + 1)));
    }
    std::vector<std::string> got;
    for (const auto& line : splitLines(storeBytes(properties, std::nullopt))) {
      if (!Strings::startsWith(line, "#")) got.push_back(line);
    }
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, splitLines(testsupport::TempDir::read(kFolder + name + ".expected"))) << name;
  }
}

TEST(Properties, StoreWritesCommentAndDateLines) {
  Properties properties;
  properties.setProperty("k", "v");
  const Regex dateLine("#[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\S+ \\d{4}");

  auto plain = splitLines(storeBytes(properties, std::nullopt));
  ASSERT_EQ(plain.size(), 2u);
  EXPECT_TRUE(dateLine.matches(plain[0])) << plain[0];
  EXPECT_EQ(plain[1], "k=v");

  struct Case {
    std::string comments;
    std::vector<std::string> lines;  // before the date line
  };
  const Case cases[] = {
      {"", {"#"}},
      {"one\ntwo", {"#one", "#two"}},
      {"a\r\n#b\r!c\n", {"#a", "#b", "!c", "#"}},
      {"\xC3\xA4\xE2\x82\xAC", {"#\xE4\\u20AC"}},  // Latin-1 stays a byte, the rest escaped
  };
  for (const auto& c : cases) {
    auto lines = splitLines(storeBytes(properties, c.comments));
    ASSERT_EQ(lines.size(), c.lines.size() + 2) << c.comments;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 2), c.lines) << c.comments;
    EXPECT_TRUE(dateLine.matches(lines[lines.size() - 2])) << lines[lines.size() - 2];
  }
}

TEST(Properties, StoreThenLoadGivesTheSameTable) {
  Properties properties;
  const std::pair<std::string, std::string> entries[] = {
      {"plain", "value"},
      {" lead and trail ", "  both  "},
      {"=:#!\\", "=:#!\\"},
      {"", ""},
      {"ctl\x01\x7F", "\t\n\r\f"},
      {"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"#start", "!start"},
  };
  for (const auto& [key, value] : entries) properties.setProperty(key, value);
  std::string bytes = storeBytes(properties, "comment\nline");
  for (char c : bytes) EXPECT_LT(static_cast<unsigned char>(c), 0x80u) << "entries are pure ASCII";
  Properties loaded = loadBytes(bytes);
  EXPECT_EQ(loaded.keys(), properties.keys());
  for (const auto& [key, value] : entries) EXPECT_EQ(loaded.get(key), value) << key;
}

TEST(Properties, MalformedUnicodeEscapeFails) {
  for (const char* text : {"k=\\u12", "k=\\u12G4", "\\uzzzz=v", "k=\\u"}) {
    Properties properties;
    ByteArrayInputStream in(std::string("first=1\n") + text + "\nlast=2\n");
    try {
      properties.load(in);
      FAIL() << text;
    } catch (const IllegalArgumentException& e) {
      EXPECT_EQ(e.message(), "Malformed \\uxxxx encoding.");
    }
    EXPECT_EQ(properties.get("first"), "1") << "entries before the fault are kept";
    EXPECT_FALSE(properties.containsKey("last"));
  }
}

TEST(Properties, LoadReadsBytesAsLatin1AndReadersAsText) {
  EXPECT_EQ(loadBytes("k=\xE4\n").get("k"), "\xC3\xA4");
  // Escaped surrogates pair up; an unpaired one reads as "?".
  EXPECT_EQ(loadBytes("k=\\uD83D\\uDE00|\\uD800x|\\uDC00").get("k"), "\xF0\x9F\x98\x80|?x|?");
  Properties fromText;
  ByteArrayInputStream in("k=\xC3\xA4\xE2\x82\xAC\\u0041\n");
  InputStreamReader reader(in, Charset::utf8());
  fromText.load(reader);
  EXPECT_EQ(fromText.get("k"), "\xC3\xA4\xE2\x82\xAC" "A");
}

TEST(Properties, TableKeepsInsertionOrder) {
  Properties p;
  EXPECT_EQ(p.setProperty("b", "1"), std::nullopt);
  p.setProperty("a", "2");
  p.setProperty("c", "3");
  EXPECT_EQ(p.setProperty("b", "4"), "1");
  EXPECT_EQ(p.keys(), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(p.remove("a"), "2");
  EXPECT_EQ(p.remove("a"), std::nullopt);
  EXPECT_EQ(p.keys(), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(p.getProperty("c"), "3");
  EXPECT_EQ(p.getProperty("missing"), std::nullopt);
  EXPECT_EQ(p.getProperty("missing", "fallback"), "fallback");
  EXPECT_EQ(p.getProperty("b", "fallback"), "4");
}

// Runs of plain characters are copied in one piece; around escapes, high
// bytes and unpaired surrogates the value stays what one-by-one decoding
// gives.
TEST(Properties, PlainRunsBesideEscapesAndSurrogates) {
  const struct {
    const char* line;
    const char* value;
  } cases[] = {
      {"k=abc", "abc"},
      {"k=a", "a"},
      {"k=ab\\\\cd", "ab\\cd"},
      {"k=ab\\ncd\\t", "ab\ncd\t"},
      {"k=\\uD800abc", "?abc"},
      {"k=\\uD800a", "?a"},
      {"k=\\uD83D\\uDE00xy", "\xF0\x9F\x98\x80xy"},
      {"k=xy\\uDE00zz", "xy?zz"},
      {"k=ab\xE4" "cd\xFF" "ef", "ab\xC3\xA4" "cd\xC3\xBF" "ef"},
      {"k=\\uD800\xE4" "bc", "?\xC3\xA4" "bc"},
      {"k=abc\\uD800", "abc?"},
      {"k=a\\\nb  c\\", "ab  c"},
      {"k=a\\\r\n   b", "ab"},
      {"k=a\\\\\nx=y", "a\\"},
      {"k=\\\\\\\\b", "\\\\b"},
      {"k=\\\\\\\nb", "\\b"},
      {"# c\\\nk=v", "v"},
      {"k=\\=\\:\\#\\!\\ x", "=:#! x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(loadBytes(c.line).getProperty("k"), c.value) << c.line;
  }
}

// The bytes are read in pieces; escapes and continuations cut between two
// pieces read as they do whole.
TEST(Properties, EscapesCutBetweenReads) {
  for (size_t pad = 8180; pad < 8200; ++pad) {
    const std::string head = "k=" + std::string(pad - 2, 'a');
    EXPECT_EQ(loadBytes(head + "\\u00e4\\\\b\\nc").getProperty("k"),
              std::string(pad - 2, 'a') + "\xC3\xA4\\b\nc") << pad;
    EXPECT_EQ(loadBytes(head + "\\\r\n  d\\\\").getProperty("k"), std::string(pad - 2, 'a') + "d\\")
        << pad;
  }
}

// Raw bytes from 0x80 take two bytes of UTF-8 each, so the value outgrows
// the room its escaped text promised; escapes and plain runs after that
// still land in order.
TEST(Properties, ValuesThatGrowWhenDecoded) {
  const std::string wide(5000, '\xE4');
  std::string wideUtf8;
  for (int i = 0; i < 5000; ++i) wideUtf8 += "\xC3\xA4";
  const struct {
    std::string line;
    std::string value;
  } cases[] = {
      {"k=" + wide, wideUtf8},
      {"k=" + wide + "abc\\=d", wideUtf8 + "abc=d"},
      {"k=" + wide + "\\uD83D\\uDE00" + std::string(3000, 'x'),
       wideUtf8 + "\xF0\x9F\x98\x80" + std::string(3000, 'x')},
      {"k=ab" + wide + "\\uD800", "ab" + wideUtf8 + "?"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(loadBytes(c.line).getProperty("k"), c.value) << c.line.substr(0, 40);
  }
}

// Escape pairs are taken in bulk while both halves are in the piece read;
// a pair cut between two pieces, or a backslash before a line end, reads as
// it does whole.
TEST(Properties, EscapePairsAtTheEndOfAPiece) {
  const struct {
    const char* tail;
    const char* value;
    const char* next;  // the value of key n, when the tail has a next line
  } cases[] = {
      {"\\=\\:x", "=:x", nullptr},
      {"\\\\\\\\\nn=1", "\\\\", "1"},
      {"\\\\\\\n  y\nn=2", "\\y", "2"},
      {"\\\\\r\nn=3", "\\", "3"},
      {"\\\r\n\\=z", "=z", nullptr},
  };
  for (size_t pad = 8185; pad < 8196; ++pad) {
    const std::string head = "k=" + std::string(pad - 2, 'a');
    for (const auto& c : cases) {
      Properties properties = loadBytes(head + c.tail);
      EXPECT_EQ(properties.getProperty("k"), std::string(pad - 2, 'a') + c.value)
          << pad << " " << c.tail;
      if (c.next) {
        EXPECT_EQ(properties.getProperty("n"), c.next) << pad << " " << c.tail;
      }
    }
    // A comment line's backslash neither escapes nor continues.
    Properties comment = loadBytes("#" + std::string(pad - 1, 'c') + "\\\\\\\nk=v");
    EXPECT_EQ(comment.getProperty("k"), "v") << pad;
  }
}
