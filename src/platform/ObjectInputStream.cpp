#include "platform/ObjectInputStream.h"

#include <cstdio>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace platform {

namespace {
constexpr int kBlockData = 0x77;
constexpr int kBlockDataLong = 0x7A;
constexpr int kReset = 0x79;
constexpr int kFirstTypeCode = 0x70;
constexpr int kLastTypeCode = 0x7E;

int readSourceByte(InputStream& in) {
  int b = in.read();
  if (b < 0) throw EOFException();
  return b;
}
}  // namespace

ObjectInputStream::ObjectInputStream(InputStream& in) : in_(in) {
  int magic = (readSourceByte(in_) << 8) | readSourceByte(in_);
  int version = (readSourceByte(in_) << 8) | readSourceByte(in_);
  if (magic != 0xACED || version != 5) {
    char text[64];
    std::snprintf(text, sizeof text, "invalid stream header: %04X%04X", magic, version);
    throw StreamCorruptedException(text);
  }
}

int64_t ObjectInputStream::nextRecordLength() {
  for (;;) {
    int code = in_.read();
    if (code == kReset) continue;
    if (code == kBlockData) return readSourceByte(in_);
    if (code == kBlockDataLong) {
      int32_t length = static_cast<int32_t>(
          (static_cast<uint32_t>(readSourceByte(in_)) << 24) | (readSourceByte(in_) << 16) |
          (readSourceByte(in_) << 8) | readSourceByte(in_));
      if (length < 0) {
        throw StreamCorruptedException("illegal block data header length: " +
                                       std::to_string(length));
      }
      return length;
    }
    if (code >= 0 && (code < kFirstTypeCode || code > kLastTypeCode)) {
      char text[40];
      std::snprintf(text, sizeof text, "invalid type code: %02X", code);
      throw StreamCorruptedException(text);
    }
    return -1;  // another record type or the end of the source
  }
}

bool ObjectInputStream::refill() {
  while (unread_ == 0) {
    if (ended_) return false;
    int64_t length = nextRecordLength();
    if (length < 0) {
      ended_ = true;
      return false;
    }
    unread_ = length;
  }
  return true;
}

int ObjectInputStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return 0;
  if (!refill()) return -1;
  int n = static_cast<int>(std::min<int64_t>(count, unread_));
  int got = in_.read(buffer, offset, n);
  if (got < 0) throw StreamCorruptedException("unexpected EOF in middle of data block");
  unread_ -= got;
  return got;
}

int ObjectInputStream::read() {
  char byte;
  return read(&byte, 0, 1) < 0 ? -1 : static_cast<unsigned char>(byte);
}

uint64_t ObjectInputStream::readBigEndian(int bytes) {
  char buffer[8];
  readFully(buffer, bytes);
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | static_cast<unsigned char>(buffer[i]);
  return value;
}

int32_t ObjectInputStream::readInt() { return static_cast<int32_t>(readBigEndian(4)); }

int64_t ObjectInputStream::readLong() { return static_cast<int64_t>(readBigEndian(8)); }

std::string ObjectInputStream::readUTF() {
  size_t length = static_cast<size_t>(readBigEndian(2));
  std::string bytes(length, '\0');
  if (length > 0) readFully(bytes.data(), static_cast<int>(length));
  std::u16string units;
  units.reserve(length);
  auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  auto malformed = [](size_t i) {
    return UTFDataFormatException("malformed input around byte " + std::to_string(i));
  };
  for (size_t i = 0; i < length;) {
    unsigned c = at(i);
    if (c < 0x80) {
      units.push_back(static_cast<char16_t>(c));
      i += 1;
    } else if ((c & 0xE0) == 0xC0) {
      if (i + 1 >= length || (at(i + 1) & 0xC0) != 0x80) throw malformed(i);
      units.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (at(i + 1) & 0x3F)));
      i += 2;
    } else if ((c & 0xF0) == 0xE0) {
      if (i + 2 >= length || (at(i + 1) & 0xC0) != 0x80 || (at(i + 2) & 0xC0) != 0x80) {
        throw malformed(i);
      }
      units.push_back(static_cast<char16_t>(((c & 0x0F) << 12) | ((at(i + 1) & 0x3F) << 6) |
                                            (at(i + 2) & 0x3F)));
      i += 3;
    } else {
      throw malformed(i);
    }
  }
  return Strings::fromUtf16(units);
}

}  // namespace platform
