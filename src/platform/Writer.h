#pragma once

#include <memory>
#include <string_view>

namespace platform {

// A sink of UTF-8 text.
class Writer {
 public:
  virtual ~Writer() = default;

  virtual void write(std::string_view text) = 0;
  virtual void flush() {}
  virtual void close() { flush(); }
};

using WriterPtr = std::unique_ptr<Writer>;

}  // namespace platform
