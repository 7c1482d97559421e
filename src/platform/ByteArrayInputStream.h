#pragma once

#include <string>

#include "platform/InputStream.h"

namespace platform {

// Reads bytes held in memory.
class ByteArrayInputStream : public InputStream {
 public:
  explicit ByteArrayInputStream(std::string bytes) : bytes_(std::move(bytes)) {}

  using InputStream::read;
  int read(char* buffer, int offset, int count) override;
  int read() override;
  int available() override { return static_cast<int>(bytes_.size() - position_); }

 private:
  std::string bytes_;
  size_t position_ = 0;
};

}  // namespace platform
