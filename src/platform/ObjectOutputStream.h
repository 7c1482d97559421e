#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/OutputStream.h"

namespace platform {

// The primitive-data subset of the object-serialization stream writer: the
// stream header, then block-data records holding texts in modified UTF-8,
// 32-bit integers and raw bytes. Objects are never written.
class ObjectOutputStream : public OutputStream {
 public:
  static constexpr int kBlockSize = 1024;

  // Writes the magic 0xACED and version 5 to out, which must outlive this.
  explicit ObjectOutputStream(OutputStream& out);

  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override;
  void write(int value) override;
  // A 2-byte length and the modified UTF-8 of text (given in UTF-8). Fails
  // with UTFDataFormatException beyond 65,535 encoded bytes, writing nothing.
  void writeUTF(std::string_view text);
  void writeInt(int32_t value);
  // Emits the pending bytes as one record, then flushes the sink.
  void flush() override;
  void close() override;

  // The modified UTF-8 bytes of a UTF-8 text, without the length.
  static std::string modifiedUtf8(std::string_view text);
  // How many of those bytes one UTF-16 code unit takes: 1, 2 or 3.
  static size_t modifiedUtf8Length(char16_t unit) {
    return unit >= 0x0001 && unit <= 0x007F ? 1 : unit <= 0x07FF ? 2 : 3;
  }

 private:
  void drain();

  OutputStream& out_;
  char block_[kBlockSize];
  int pending_ = 0;
};

}  // namespace platform
