#pragma once

#include <memory>
#include <string_view>

namespace platform {

// A sink of bytes. Subclasses implement the range write; the rest is built
// on it.
class OutputStream {
 public:
  virtual ~OutputStream() = default;

  // Writes buffer[offset..offset+count).
  virtual void write(const char* buffer, int offset, int count) = 0;

  // Writes the low 8 bits of value.
  virtual void write(int value);

  void write(std::string_view bytes);

  virtual void flush() {}
  virtual void close() { flush(); }
};

using OutputStreamPtr = std::unique_ptr<OutputStream>;

}  // namespace platform
