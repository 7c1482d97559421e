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
