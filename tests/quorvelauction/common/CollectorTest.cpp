#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>

#include "quorvelauction/common/Collector.h"

using quorvelauction::common::Collector;

namespace {

std::string inflateAll(std::string_view compressed) {
  z_stream z{};
  EXPECT_EQ(inflateInit(&z), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = compressed.size();
  std::string out;
  char buffer[4096];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  } while (rc == Z_OK);
  EXPECT_EQ(rc, Z_STREAM_END);
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the zlib stream";
  inflateEnd(&z);
  return out;
}

uint32_t le32(std::string_view bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return v;
}

std::string push(const std::string& text) {
  size_t n = text.size() + 2;
  return std::string("\x96", 1) + static_cast<char>(n & 0xFF) + static_cast<char>(n >> 8) +
         std::string(1, '\0') + text + std::string(1, '\0');
}

// The whole uncompressed movie, header included.
std::string expand(const std::string& file) {
  EXPECT_GE(file.size(), 8u);
  return file.substr(0, 8) + inflateAll(std::string_view(file).substr(8));
}

std::string expectedMovie(const std::string& actions) {
  std::string head("\x43\x57\x53\x06\0\0\0\0\x78\x00\x05\x5F\x00\x00\x0F\xA0\x00\x00\x0C\x01\x00"
                   "\x43\x02\xFF\xFF\xFF\x3F\x03\0\0\0\0",
                   32);
  std::string movie = head + actions + std::string("\x00\x40\x00\x00\x00", 5);
  uint32_t total = movie.size(), doAction = actions.size() + 1;
  for (int i = 0; i < 4; ++i) {
    movie[4 + i] = static_cast<char>((total >> (8 * i)) & 0xFF);
    movie[28 + i] = static_cast<char>((doAction >> (8 * i)) & 0xFF);
  }
  return movie;
}

std::string prologue() {
  return push("System.security.allowDomain") + push("*") + "\x1D" + push("faData") + push("");
}

}  // namespace

TEST(Collector, EmptyTextGivesTheFixedMovie) {
  std::string file = Collector::getBytes("");
  ASSERT_EQ(file.substr(0, 4), std::string("CWS\x06"));
  std::string movie = expand(file);
  std::string actions = prologue() + "\x1D";
  ASSERT_EQ(actions.size(), 56u);
  EXPECT_EQ(le32(movie, 4), 93u);
  EXPECT_EQ(le32(movie, 28), 57u);
  EXPECT_EQ(movie, expectedMovie(actions));
}

TEST(Collector, TextIsPushedInChunksOfTenThousand) {
  struct Case {
    size_t length;
    std::vector<size_t> chunks;
  } cases[] = {{1, {1}}, {10000, {10000}}, {10001, {10000, 1}}, {25000, {10000, 10000, 5000}}};
  for (const Case& c : cases) {
    std::string text;
    for (size_t i = 0; i < c.length; ++i) text += static_cast<char>('a' + i % 26);
    std::string actions = prologue();
    size_t at = 0;
    for (size_t n : c.chunks) {
      actions += push(text.substr(at, n)) + "\x21";
      at += n;
    }
    actions += "\x1D";
    std::string movie = expand(Collector::getBytes(text));
    EXPECT_EQ(le32(movie, 4), 37 + actions.size()) << c.length;
    EXPECT_EQ(movie, expectedMovie(actions)) << c.length;
  }
}

TEST(Collector, ChunksAreCountedInUtf16UnitsAndWrittenAsUtf8) {
  // 9,999 ASCII characters then a euro sign: still one chunk of 10,000 units,
  // the euro sign taking three bytes; the length field counts bytes.
  std::string text = std::string(9999, 'x') + "\xE2\x82\xAC" + "y";
  std::string actions = prologue() + push(std::string(9999, 'x') + "\xE2\x82\xAC") + "\x21" +
                        push("y") + "\x21" + "\x1D";
  EXPECT_EQ(expand(Collector::getBytes(text)), expectedMovie(actions));
}

TEST(Collector, SurrogatePairIsNeverCutAtAChunkEnd) {
  // U+1F600 straddles units 10,000 and 10,001: the first chunk ends before it.
  std::string smiley = "\xF0\x9F\x98\x80";
  std::string text = std::string(9999, 'x') + smiley + "z";
  std::string actions = prologue() + push(std::string(9999, 'x')) + "\x21" + push(smiley + "z") +
                        "\x21" + "\x1D";
  EXPECT_EQ(expand(Collector::getBytes(text)), expectedMovie(actions));
}
