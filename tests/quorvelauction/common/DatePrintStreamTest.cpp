#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/Regex.h"
#include "quorvelauction/common/DatePrintStream.h"

using quorvelauction::common::DatePrintStream;

namespace {

const char kDate[] = "[A-Z][a-z]{2} [A-Z][a-z]{2} \\d{2} \\d{2}:\\d{2}:\\d{2} \\S+ \\d{4}";

bool isDatedLine(const std::string& output, const std::string& prefix, const std::string& text) {
  return platform::Regex("\\Q" + prefix + "\\E" + kDate + " \\Q" + text + "\\E\n").matches(output);
}

class FailingStream : public platform::OutputStream {
 public:
  using OutputStream::write;
  void write(const char*, int, int) override { throw platform::IOException("disk full"); }
};

}  // namespace

TEST(DatePrintStream, DatesEveryTextLine) {
  struct Case {
    std::function<void(DatePrintStream&)> print;
    std::string prefix;
    std::string text;
  };
  const Case cases[] = {
      {[](DatePrintStream& s) { s.println("hello"); }, "", "hello"},
      {[](DatePrintStream& s) { s.println(""); }, "", ""},
      {[](DatePrintStream& s) { s.println(std::nullopt); }, "", "null"},
      {[](DatePrintStream& s) { s.println(std::optional<std::string>()); }, "", "null"},
      {[](DatePrintStream& s) { s.println(std::optional<std::string>("x")); }, "", "x"},
      {[](DatePrintStream& s) { s.println(std::string("text")); }, "", "text"},
      // Text printed without a line end comes first; the date stands in the middle.
      {[](DatePrintStream& s) { s.print("abc "); s.println("def"); }, "abc ", "def"},
  };
  for (const auto& c : cases) {
    platform::ByteArrayOutputStream sink;
    DatePrintStream stream(sink);
    c.print(stream);
    EXPECT_TRUE(isDatedLine(sink.bytes(), c.prefix, c.text)) << sink.bytes();
  }
}

TEST(DatePrintStream, OtherOutputPassesUnchanged) {
  platform::ByteArrayOutputStream sink;
  DatePrintStream stream(sink);
  stream.print("raw");
  stream.write("\x01\x02", 0, 2);
  stream.println();
  platform::PrintStream& asInstalled = stream;  // how System::out() reaches it
  asInstalled.println();
  EXPECT_EQ(sink.bytes(), "raw\x01\x02\n\n");
}

TEST(DatePrintStream, FailedWriteSetsTheErrorFlag) {
  FailingStream sink;
  DatePrintStream stream(sink);
  EXPECT_NO_THROW(stream.println("lost"));
  EXPECT_TRUE(stream.checkError());
}

TEST(DatePrintStream, LinesOfThreadsNeverMix) {
  platform::ByteArrayOutputStream sink;
  DatePrintStream stream(sink);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&stream, t] {
      std::string text(200, static_cast<char>('a' + t));
      for (int i = 0; i < 200; ++i) stream.println(text);
    });
  }
  for (auto& thread : threads) thread.join();
  const platform::Regex line(std::string(kDate) + " ([a-d])\\1{199}");
  size_t count = 0;
  for (const auto& piece : platform::Regex::split(sink.bytes(), "\n")) {
    EXPECT_TRUE(line.matches(piece)) << piece;
    ++count;
  }
  EXPECT_EQ(count, 800u);
}
