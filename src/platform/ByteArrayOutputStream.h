#pragma once

#include <string>

#include "platform/OutputStream.h"

namespace platform {

// Collects written bytes in memory.
class ByteArrayOutputStream : public OutputStream {
 public:
  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override {
    if (count > 0) bytes_.append(buffer + offset, count);
  }
  void write(int value) override { bytes_.push_back(static_cast<char>(value & 0xFF)); }

  const std::string& bytes() const { return bytes_; }
  std::string take() { return std::move(bytes_); }
  size_t size() const { return bytes_.size(); }
  void reset() { bytes_.clear(); }

 private:
  std::string bytes_;
};

}  // namespace platform
