#pragma once

#include <memory>
#include <string>

namespace platform {

// A source of text, handed out as pieces of UTF-8 that never cut a character.
class Reader {
 public:
  virtual ~Reader() = default;

  // Appends the next piece of text to out. Returns the number of bytes
  // appended (> 0), or -1 at the end of the text.
  virtual int read(std::string& out) = 0;

  virtual void close() {}

  // Reads to the end and returns everything read.
  std::string readAll();
};

using ReaderPtr = std::unique_ptr<Reader>;

}  // namespace platform
