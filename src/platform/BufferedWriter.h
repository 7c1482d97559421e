#pragma once

#include <string>
#include <string_view>

#include "platform/Writer.h"

namespace platform {

// Gathers small writes into blocks before they reach the sink. A writer
// destroyed without close() still passes its rest on (errors then are lost).
// Owns the sink when given a unique_ptr; otherwise only borrows it.
class BufferedWriter : public Writer {
 public:
  explicit BufferedWriter(WriterPtr out, size_t size = 8192);
  explicit BufferedWriter(Writer& out, size_t size = 8192);
  ~BufferedWriter() override;

  void write(std::string_view text) override;
  // Writes the line separator "\n".
  void newLine() { write("\n"); }
  void flush() override;
  void close() override;

 private:
  void drain();

  WriterPtr owned_;
  Writer* out_;
  std::string buffer_;
  size_t size_;
  bool closed_ = false;
};

}  // namespace platform
