#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xml::detail {

// Collects text for the end of a string through a plain pointer, so that
// appending a character or a short name costs a few stores rather than a
// library call. The text is kept in pieces of growing size and goes to the
// string in one copy when finish() is called; without it, nothing does.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::string& out) : out_(out) {}
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

  // Appends everything written to the string.
  void finish();

 private:
  struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t length;  // written
  };

  void grow(size_t n);

  std::string& out_;
  std::vector<Piece> pieces_;  // the last one is being written
  char* next_ = nullptr;       // where the next character goes
  char* end_ = nullptr;        // end of the last piece
};

}  // namespace xml::detail
