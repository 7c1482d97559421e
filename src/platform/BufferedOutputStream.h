#pragma once

#include <vector>

#include "platform/OutputStream.h"

namespace platform {

// Collects small writes into blocks. close() writes the rest out and closes
// the sink; a destroyed stream that was never closed still writes its rest
// out (errors then are lost, as nobody is left to hear them).
class BufferedOutputStream : public OutputStream {
 public:
  explicit BufferedOutputStream(OutputStreamPtr out, int size = 8192);
  explicit BufferedOutputStream(OutputStream& out, int size = 8192);
  ~BufferedOutputStream() override;

  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override;
  void write(int value) override;
  void flush() override;
  void close() override;

 private:
  void drain();

  OutputStreamPtr owned_;
  OutputStream* out_;
  std::vector<char> buffer_;
  int count_ = 0;
  bool closed_ = false;
};

}  // namespace platform
