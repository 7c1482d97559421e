#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/InflaterInputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/SpoolBuffer.h"

using platform::ByteArrayInputStream;
using platform::ByteArrayOutputStream;
using platform::ObjectInputStream;
using platform::ObjectOutputStream;

namespace {

std::string hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string written(const std::function<void(ObjectOutputStream&)>& fields) {
  ByteArrayOutputStream sink;
  ObjectOutputStream out(sink);
  fields(out);
  out.flush();
  return sink.take();
}

const std::string kHeader("\xAC\xED\x00\x05", 4);

}  // namespace

TEST(ObjectOutputStream, FieldEncodings) {
  struct Case {
    const char* name;
    std::function<void(ObjectOutputStream&)> fields;
    std::string body;
  };
  const Case cases[] = {
      {"log", [](auto& o) { o.writeUTF("log"); }, "AC ED 00 05 77 05 00 03 6C 6F 67"},
      {"e acute", [](auto& o) { o.writeUTF("\xC3\xA9"); }, "AC ED 00 05 77 04 00 02 C3 A9"},
      {"euro", [](auto& o) { o.writeUTF("\xE2\x82\xAC"); }, "AC ED 00 05 77 05 00 03 E2 82 AC"},
      {"nul", [](auto& o) { o.writeUTF(std::string("a\0b", 3)); },
       "AC ED 00 05 77 06 00 04 61 C0 80 62"},
      {"above BMP", [](auto& o) { o.writeUTF("\xF0\x9F\x98\x80"); },
       "AC ED 00 05 77 08 00 06 ED A0 BD ED B8 80"},
      {"empty", [](auto& o) { o.writeUTF(""); }, "AC ED 00 05 77 02 00 00"},
      {"int", [](auto& o) { o.writeInt(-2); }, "AC ED 00 05 77 04 FF FF FF FE"},
      {"nothing", [](auto&) {}, "AC ED 00 05"},
  };
  for (const Case& c : cases) EXPECT_EQ(hex(written(c.fields)), c.body) << c.name;
}

TEST(ObjectOutputStream, RecordsOf1024BytesCutAcrossFields) {
  struct Case {
    int bytes;
    std::string tail;  // what follows the full records
  };
  const Case cases[] = {
      {1024, ""},                                     // one long record, the flush adds nothing
      {300, "7A 00 00 01 2C"},                        // long form below 1,024
      {200, "77 C8"},                                 // short form
      {255, "77 FF"},
      {256, "7A 00 00 01 00"},
  };
  for (const Case& c : cases) {
    std::string data(c.bytes, 'x');
    std::string body = written([&](auto& o) { o.write(data); });
    std::string expected = kHeader;
    if (c.bytes == 1024) {
      expected += std::string("\x7A\x00\x00\x04\x00", 5) + data;
    } else {
      expected += body.substr(4, body.size() - 4 - c.bytes) + data;
      EXPECT_EQ(hex(body.substr(4, body.size() - 4 - c.bytes)), c.tail) << c.bytes;
    }
    EXPECT_EQ(body, expected) << c.bytes;
  }
  // An integer whose first two bytes end the first record.
  std::string body = written([](auto& o) {
    o.write(std::string(1022, 'y'));
    o.writeInt(0x01020304);
  });
  EXPECT_EQ(hex(body.substr(4, 5)), "7A 00 00 04 00");
  EXPECT_EQ(hex(body.substr(4 + 5 + 1022)), "01 02 77 02 03 04");
}

TEST(ObjectOutputStream, TooLongTextFailsAndWritesNothing) {
  ByteArrayOutputStream sink;
  ObjectOutputStream out(sink);
  EXPECT_THROW(out.writeUTF(std::string(65536, 'a')), platform::UTFDataFormatException);
  EXPECT_EQ(sink.size(), 4u);
  out.writeUTF(std::string(65535, 'a'));
  out.flush();
  // 65,537 field bytes: 64 full records and one of 1 byte.
  EXPECT_EQ(sink.size(), 4u + 65537 + 64 * 5 + 2);
}

TEST(ObjectInputStream, ReadsJoinedRecordsSkippingResets) {
  std::string reply = kHeader + std::string("\x77\x03\x00\x02o", 5) + "\x79" +
                      std::string("\x7A\x00\x00\x00\x06", 5) + "k" +
                      std::string("\x00\x00\x00\x00\xFF", 5) +
                      std::string("\x77\x07\xFF\xFF\xFF\x00\x00\x00\x07", 9);
  ByteArrayInputStream source(reply);
  ObjectInputStream in(source);
  EXPECT_EQ(in.readUTF(), "ok");
  EXPECT_EQ(in.readLong(), 4294967295LL);
  EXPECT_EQ(in.readInt(), 7);
  EXPECT_EQ(in.read(), -1);
  EXPECT_THROW(in.readInt(), platform::EOFException);
}

TEST(ObjectInputStream, EndsAndFailures) {
  struct Case {
    const char* name;
    std::string reply;
    const char* failure;  // nullptr: the read reports the end of the data
  };
  const Case cases[] = {
      {"wrong magic", std::string("\xAC\xEE\x00\x05\x77\x01\x00", 7), "invalid stream header: ACEE0005"},
      {"object record ends the data", kHeader + "\x73", nullptr},
      {"end of body", kHeader, nullptr},
      {"negative long length", kHeader + std::string("\x7A\xFF\xFF\xFF\xFF", 5),
       "illegal block data header length: -1"},
      {"not a type code", kHeader + "\x20", "invalid type code: 20"},
      {"ends inside a record", kHeader + std::string("\x77\x05\x01", 3),
       "unexpected EOF in middle of data block"},
  };
  for (const Case& c : cases) {
    ByteArrayInputStream source(c.reply);
    try {
      ObjectInputStream in(source);
      int first = in.read();
      if (c.failure != nullptr) {
        in.read();
        ADD_FAILURE() << c.name << ": no failure";
      } else {
        EXPECT_EQ(first, -1) << c.name;
        EXPECT_THROW(in.readUTF(), platform::EOFException) << c.name;
      }
    } catch (const platform::StreamCorruptedException& e) {
      EXPECT_STREQ(e.what(), c.failure == nullptr ? "" : c.failure) << c.name;
    }
  }
}

TEST(ObjectInputStream, MalformedTextFails) {
  for (std::string text : {std::string("\x80", 1), std::string("\xC3", 1), std::string("\xE2\x82", 2),
                           std::string("\xF0\x9F\x98\x80", 4)}) {
    std::string reply = kHeader + "\x77" + static_cast<char>(text.size() + 2) + '\0' +
                        static_cast<char>(text.size()) + text;
    ByteArrayInputStream source(reply);
    ObjectInputStream in(source);
    EXPECT_THROW(in.readUTF(), platform::UTFDataFormatException) << hex(text);
  }
}

TEST(ObjectStreams, RoundTripOfTextsAcrossRecords) {
  std::string long1(1500, 'z');
  std::string body = written([&](auto& o) {
    o.writeUTF("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    o.writeUTF(std::string("\0", 1));
    o.writeUTF(long1);
    o.writeInt(-5);
  });
  ByteArrayInputStream source(body);
  ObjectInputStream in(source);
  EXPECT_EQ(in.readUTF(), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(in.readUTF(), std::string("\0", 1));
  EXPECT_EQ(in.readUTF(), long1);
  EXPECT_EQ(in.readInt(), -5);
}

TEST(InflaterInputStream, InflatesZlibAndRejectsTruncatedOrRaw) {
  std::string plain = kHeader + std::string("\x77\x04\x00\x02ok", 6) + std::string(5000, 'q');
  uLongf size = compressBound(plain.size());
  std::string packed(size, '\0');
  ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                     reinterpret_cast<const Bytef*>(plain.data()), plain.size()),
            Z_OK);
  packed.resize(size);
  {
    ByteArrayInputStream source(packed + "trailing");
    platform::InflaterInputStream in(source);
    EXPECT_EQ(in.readAll(), plain);
  }
  {
    ByteArrayInputStream source(packed.substr(0, packed.size() - 3));
    platform::InflaterInputStream in(source);
    EXPECT_THROW(in.readAll(), platform::EOFException);
  }
  {
    ByteArrayInputStream source(plain);
    platform::InflaterInputStream in(source);
    EXPECT_THROW(in.readAll(), platform::IOException);
  }
}

TEST(SpoolBuffer, SameBytesInMemoryAndSpooled) {
  for (int64_t threshold : {int64_t{1} << 20, int64_t{1000}}) {
    platform::SpoolBuffer spool(threshold);
    std::string expected;
    for (int i = 0; i < 50; ++i) {
      std::string piece(97, static_cast<char>('a' + i % 26));
      spool.write(piece);
      expected += piece;
    }
    EXPECT_EQ(spool.spooled(), threshold < 4850);
    EXPECT_EQ(spool.size(), static_cast<int64_t>(expected.size()));
    std::string back(expected.size() + 1, '\0');
    size_t got = 0;
    while (size_t n = spool.readAt(static_cast<int64_t>(got), back.data() + got, back.size() - got)) got += n;
    back.resize(got);
    EXPECT_EQ(back, expected);
  }
}
