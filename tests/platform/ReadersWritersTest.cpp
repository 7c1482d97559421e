#include <gtest/gtest.h>

#include "platform/BufferedReader.h"
#include "platform/BufferedWriter.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/InputStreamReader.h"
#include "platform/OutputStreamWriter.h"
#include "platform/StringWriter.h"

using namespace platform;

namespace {

// Hands out its bytes a few at a time, so that characters and line ends
// fall across reads.
class TrickleStream : public InputStream {
 public:
  TrickleStream(std::string bytes, int step) : bytes_(std::move(bytes)), step_(step) {}
  using InputStream::read;
  int read(char* buffer, int offset, int count) override {
    if (position_ >= bytes_.size()) return -1;
    int n = std::min<int>({count, step_, static_cast<int>(bytes_.size() - position_)});
    bytes_.copy(buffer + offset, n, position_);
    position_ += n;
    return n;
  }

 private:
  std::string bytes_;
  int step_;
  size_t position_ = 0;
};

std::vector<std::string> lines(const std::string& bytes, const char* charset, int step) {
  BufferedReader reader(std::make_unique<InputStreamReader>(std::make_unique<TrickleStream>(bytes, step),
                                                            charset));
  std::vector<std::string> out;
  while (auto line = reader.readLine()) out.push_back(*line);
  return out;
}

}  // namespace

TEST(BufferedReader, EveryLineEndAndPieceSize) {
  const std::string text = "a\nb\r\nc\rd\r\r\n\xC3\xA4\xE2\x82\xAC\nlast";
  const std::vector<std::string> expected = {"a", "b", "c", "d", "", "\xC3\xA4\xE2\x82\xAC", "last"};
  for (int step : {1, 2, 3, 5, 8192}) {
    EXPECT_EQ(lines(text, "utf-8", step), expected) << "step " << step;
    EXPECT_EQ(lines(Charset::forName("UTF-16").encode(text), "UTF-16", step), expected) << step;
  }
  EXPECT_EQ(lines("x\n", "utf-8", 1), std::vector<std::string>{"x"});
  EXPECT_TRUE(lines("", "utf-8", 1).empty());
  EXPECT_EQ(lines("\n\n", "utf-8", 1), (std::vector<std::string>{"", ""}));
}

// Put line ends at every place of a word, next to bytes that differ from
// them in one bit, and compare with splitting byte by byte.
TEST(BufferedReader, LineEndsAtEveryPlaceOfAWord) {
  const std::string fillers = "abc\x0B\x0C\x0E\x8A\x8D\x1A\x2D\xFF";
  for (size_t length = 0; length < 40; ++length) {
    for (const char* end : {"\n", "\r", "\r\n"}) {
      std::string text;
      for (size_t i = 0; i < length; ++i) text.push_back(fillers[(i * 7 + length) % fillers.size()]);
      text += end;
      text += std::string(length % 9, '\x0B') + end + "tail";
      std::vector<std::string> expected;
      std::string line;
      for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
          expected.push_back(line);
          line.clear();
          if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
          line.push_back(text[i]);
        }
      }
      expected.push_back(line);
      for (int step : {1, 7, 8192}) {
        std::vector<std::string> got = lines(text, "iso-8859-1", step);
        std::vector<std::string> want;
        for (const std::string& piece : expected) want.push_back(Charset::forName("iso-8859-1").decode(piece));
        EXPECT_EQ(got, want) << "length " << length << " step " << step;
      }
    }
  }
}

// The next "\r" is remembered across lines that end in "\n" before it, and
// the stream is read in large pieces: a line end or a character cut at a
// piece's end (64 KiB) reads as it does whole. The reused line gives the
// same lines and is empty at the end.
TEST(BufferedReader, RememberedReturnsAndLargePieces) {
  const std::string big(65535, 'a');
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"a\nb\nc\rd\ne\r\nf", {"a", "b", "c", "d", "e", "f"}},
      {"\r\r\n\n\rx", {"", "", "", "", "x"}},
      {"a\nb\n" + std::string(100, 'c') + "\r", {"a", "b", std::string(100, 'c')}},
      {big + "\r\nb", {big, "b"}},
      {big + "\n\rb\r", {big, "", "b"}},
      {big + "\xC3\xA4\nb", {big + "\xC3\xA4", "b"}},
      {"x\r" + big + "\r\n", {"x", big}},
  };
  for (const auto& c : cases) {
    for (int step : {1, 7, 8192, 70000}) {
      if (step == 1 && c.text.size() > 1000) continue;
      EXPECT_EQ(lines(c.text, "utf-8", step), c.lines) << step << " " << c.text.substr(0, 20);
      BufferedReader reader(std::make_unique<InputStreamReader>(
          std::make_unique<TrickleStream>(c.text, step), "utf-8"));
      std::vector<std::string> reused;
      std::string line = "stale";
      while (reader.readLine(line)) reused.push_back(line);
      EXPECT_EQ(reused, c.lines) << step << " " << c.text.substr(0, 20);
      EXPECT_EQ(line, "");
    }
  }
}

TEST(BufferedReader, ReadAfterLineKeepsTheRest) {
  ByteArrayInputStream in("one\r\ntwo\nthree");
  InputStreamReader decoder(in, "iso-8859-1");
  BufferedReader reader(decoder);
  EXPECT_EQ(reader.readLine(), "one");
  EXPECT_EQ(reader.readAll(), "two\nthree");
  EXPECT_EQ(reader.readLine(), std::nullopt);
}

TEST(InputStreamReader, DecodesInTheNamedCharset) {
  ByteArrayInputStream in("Gr\xF6\xDF" "e");
  InputStreamReader reader(in, Charset::iso88591());
  EXPECT_EQ(reader.readAll(), "Gr\xC3\xB6\xC3\x9F" "e");
  ByteArrayInputStream none("");
  EXPECT_THROW(InputStreamReader(none, "ebcdic"), UnsupportedEncodingException);
}

TEST(OutputStreamWriter, EncodesAndHoldsBytesUntilFlush) {
  ByteArrayOutputStream sink;
  OutputStreamWriter writer(sink, "UTF-16");
  writer.write("A");
  writer.write("\xE2\x82");  // a character cut between two writes
  writer.write("\xAC");
  EXPECT_EQ(sink.size(), 0u);
  writer.flush();
  EXPECT_EQ(sink.bytes(), std::string("\xFE\xFF\x00" "A\x20\xAC", 6));
  writer.close();
  EXPECT_THROW(writer.write("x"), IOException);
}

TEST(OutputStreamWriter, DestroyedWriterPassesItsRestOn) {
  ByteArrayOutputStream sink;
  {
    OutputStreamWriter writer(sink, Charset::iso88591());
    writer.write("\xC3\xA4");
  }
  EXPECT_EQ(sink.bytes(), "\xE4");
}

TEST(BufferedWriter, GathersWritesAndLineEnds) {
  StringWriter text;
  {
    BufferedWriter writer(text, 8);
    writer.write("abc");
    writer.newLine();
    EXPECT_EQ(text.toString(), "");
    writer.write("a text longer than the buffer");
    writer.write("z");
    writer.flush();
    EXPECT_EQ(text.toString(), "abc\na text longer than the bufferz");
    writer.write("!");
  }
  EXPECT_EQ(text.toString(), "abc\na text longer than the bufferz!");
}
