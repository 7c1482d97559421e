#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace xml::detail {

// Appends text to the end of a string through a plain pointer. Room is made
// in large steps, so that appending a character or a short name costs a few
// stores rather than a library call. Until the buffer is destroyed, the
// string holds unwritten room past the text; the destructor cuts it off.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::string& out);
  ~OutputBuffer();
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  // Makes room for n more characters and returns where they go; advance by
  // what was written.
  char* room(size_t n) {
    if (static_cast<size_t>(end_ - next_) < n) grow(n);
    return next_;
  }
  void advance(size_t n) { next_ += n; }

  void put(char c) { *room(1) = c, ++next_; }
  void put(const char* text, size_t n) {
    std::memcpy(room(n), text, n);
    next_ += n;
  }
  void put(std::string_view text) { put(text.data(), text.size()); }
  // A NUL-terminated text.
  void putZ(const char* text) { put(text, std::strlen(text)); }

 private:
  void grow(size_t n);

  std::string& out_;
  char* next_;  // where the next character goes
  char* end_;   // end of the room
};

}  // namespace xml::detail
