#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/OutputStream.h"

namespace platform {

// Prints texts (UTF-8) and line ends onto a byte stream. Never raises I/O
// errors: a failed write sets the error flag (checkError) and is lost. Each
// call holds the stream's lock, so lines of different threads never mix.
class PrintStream : public OutputStream {
 public:
  PrintStream(OutputStreamPtr out, bool autoFlush);
  PrintStream(OutputStream& out, bool autoFlush);

  void print(std::string_view text);
  // The text and a line end, as one unit; subclasses may decorate the line.
  virtual void println(std::string_view text);
  void println();

  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override;
  void flush() override;
  void close() override;
  bool checkError();

 protected:
  // Writes without taking the lock; callers hold it.
  void writeLocked(std::string_view bytes);
  std::recursive_mutex& lock() { return mutex_; }

 private:
  OutputStreamPtr owned_;
  OutputStream* out_;
  bool autoFlush_;
  bool error_ = false;
  std::recursive_mutex mutex_;
};

}  // namespace platform
