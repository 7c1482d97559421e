#include "platform/ObjectOutputStream.h"

#include <cstring>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace platform {

ObjectOutputStream::ObjectOutputStream(OutputStream& out) : out_(out) {
  const char header[] = {'\xAC', '\xED', 0x00, 0x05};
  out_.write(header, 0, 4);
}

void ObjectOutputStream::write(const char* buffer, int offset, int count) {
  while (count > 0) {
    if (pending_ == kBlockSize) drain();
    int n = std::min(count, kBlockSize - pending_);
    std::memcpy(block_ + pending_, buffer + offset, n);
    pending_ += n;
    offset += n;
    count -= n;
  }
}

void ObjectOutputStream::write(int value) {
  char byte = static_cast<char>(value & 0xFF);
  write(&byte, 0, 1);
}

std::string ObjectOutputStream::modifiedUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t unit : Strings::toUtf16(text)) {
    const size_t length = modifiedUtf8Length(unit);
    if (length == 1) {
      out.push_back(static_cast<char>(unit));
    } else if (length == 2) {
      out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
      out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return out;
}

void ObjectOutputStream::writeUTF(std::string_view text) {
  std::string bytes = modifiedUtf8(text);
  if (bytes.size() > 65535) {
    throw UTFDataFormatException("encoded string too long: " + std::to_string(bytes.size()) +
                                 " bytes");
  }
  char length[] = {static_cast<char>(bytes.size() >> 8), static_cast<char>(bytes.size())};
  write(length, 0, 2);
  write(bytes.data(), 0, static_cast<int>(bytes.size()));
}

void ObjectOutputStream::writeInt(int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  char bytes[] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                  static_cast<char>(v >> 8), static_cast<char>(v)};
  write(bytes, 0, 4);
}

void ObjectOutputStream::drain() {
  if (pending_ == 0) return;
  if (pending_ <= 0xFF) {
    char header[] = {0x77, static_cast<char>(pending_)};
    out_.write(header, 0, 2);
  } else {
    uint32_t n = static_cast<uint32_t>(pending_);
    char header[] = {0x7A, static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                     static_cast<char>(n >> 8), static_cast<char>(n)};
    out_.write(header, 0, 5);
  }
  out_.write(block_, 0, pending_);
  pending_ = 0;
}

void ObjectOutputStream::flush() {
  drain();
  out_.flush();
}

void ObjectOutputStream::close() {
  flush();
  out_.close();
}

}  // namespace platform
