#pragma once

#include <optional>
#include <string>

#include "platform/Reader.h"

namespace platform {

// Reads text by lines. A line ends at "\n", "\r" or "\r\n"; the end is not
// part of the line. Owns the source when given a unique_ptr; otherwise only
// borrows it.
class BufferedReader : public Reader {
 public:
  explicit BufferedReader(ReaderPtr in);
  explicit BufferedReader(Reader& in);

  // The next line, or nothing at the end of the text.
  std::optional<std::string> readLine();
  // The same into line, whose storage is reused from call to call; false
  // (line emptied) at the end of the text.
  bool readLine(std::string& line);

  int read(std::string& out) override;
  void close() override;

 private:
  // Makes text available at position_; false at the end.
  bool fill();
  // The first "\n" or "\r" in the buffer from position_ on, or its size.
  size_t findLineEnd();

  ReaderPtr owned_;
  Reader* in_;
  std::string buffer_;
  size_t position_ = 0;
  size_t returnAt_ = 0;        // the next "\r" from position_ on, or the buffer's size
  bool returnKnown_ = false;   // returnAt_ is for the text in the buffer
  bool skipLineFeed_ = false;  // the last line ended with "\r"
  bool ended_ = false;
};

}  // namespace platform
