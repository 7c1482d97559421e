#include <gtest/gtest.h>

#include "platform/BufferedInputStream.h"
#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/FileOutputStream.h"
#include "support/TempDir.h"

using namespace platform;

TEST(FileStreams, WriteThenReadBack) {
  testsupport::TempDir dir;
  {
    FileOutputStream out(dir.file("a.bin"));
    out.write("hello", 0, 5);
    out.write('!');
    out.close();
  }
  FileInputStream in(dir.file("a.bin"));
  EXPECT_EQ(in.readAll(), "hello!");
  EXPECT_EQ(in.read(), -1);
}

TEST(FileStreams, ReadAllGetsEveryByteFromWhereTheStreamStands) {
  struct Case {
    size_t size;
    int readFirst;     // single bytes read before readAll
    size_t appended;   // bytes added to the file after it was opened
  };
  const Case cases[] = {{0, 0, 0},    {1, 0, 0},    {1, 1, 0},     {4095, 0, 0}, {70000, 3, 0},
                        {10, 20, 0},  {0, 0, 5},    {100, 2, 100}, {5, 0, 70000}};
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    std::string data;
    for (size_t i = 0; i < c.size + c.appended; ++i) data.push_back(static_cast<char>(i * 7 + 1));
    {
      FileOutputStream out(dir.file("f.bin"));
      out.write(data.data(), 0, static_cast<int>(c.size));
    }
    FileInputStream in(dir.file("f.bin"));
    if (c.appended > 0) {
      FileOutputStream out(dir.file("f.bin"), true);
      out.write(data.data(), static_cast<int>(c.size), static_cast<int>(c.appended));
    }
    std::string first;
    for (int i = 0; i < c.readFirst; ++i) {
      int b = in.read();
      if (b >= 0) first.push_back(static_cast<char>(b));
    }
    std::string rest = in.readAll();
    EXPECT_EQ(first + rest, data) << "size " << c.size << ", first " << c.readFirst << ", appended " << c.appended;
    EXPECT_EQ(in.read(), -1);
  }
}

TEST(FileStreams, MissingFileOrFolderIsNotFound) {
  testsupport::TempDir dir;
  EXPECT_THROW(FileInputStream(dir.file("missing")), FileNotFoundException);
  EXPECT_THROW(FileInputStream(dir.path()), FileNotFoundException);
  EXPECT_THROW(FileOutputStream(dir.file("no/such/folder/x")), FileNotFoundException);
}

TEST(BufferedStreams, SmallAndLargeReadsAgree) {
  std::string data;
  for (int i = 0; i < 100000; ++i) data.push_back(static_cast<char>(i * 31));
  for (int chunk : {1, 7, 70, 1024, 20000}) {
    BufferedInputStream in(std::make_unique<ByteArrayInputStream>(data), 4096);
    std::string got;
    std::string buffer(chunk, '\0');
    int n;
    while ((n = in.read(buffer.data(), 0, chunk)) > 0) got.append(buffer.data(), n);
    EXPECT_EQ(got, data) << "chunk " << chunk;
  }
}

TEST(BufferedStreams, CloseWritesTheRest) {
  ByteArrayOutputStream sink;
  {
    BufferedOutputStream out(sink, 16);
    for (int i = 0; i < 40; ++i) out.write('a' + i % 26);
    out.write(std::string_view("tail"));
    out.close();
  }
  EXPECT_EQ(sink.size(), 44u);
  EXPECT_EQ(sink.bytes().substr(40), "tail");
}
