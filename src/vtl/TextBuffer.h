#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace vtl {

// Text as a rendering builds it. A rendering writes hundreds of short
// pieces, so appending one that fits is a bound check and an inline copy;
// growing is out of line and left to the caller's choice (see fits).
class TextBuffer {
 public:
  TextBuffer() = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  std::string_view view() const { return {data_.get(), size_}; }
  size_t size() const { return size_; }
  void clear() { size_ = 0; }
  void reserve(size_t capacity);

  // Whether n more bytes fit without growing.
  bool fits(size_t n) const { return n <= capacity_ - size_; }
  void append(std::string_view text) {
    if (!fits(text.size())) grow(text.size());
    appendFitting(text);
  }
  // For text that fits.
  void appendFitting(std::string_view text) {
    copyBytes(data_.get() + size_, text.data(), text.size());
    size_ += text.size();
  }
  // The decimal digits of i.
  void appendInt(int32_t i) {
    if (static_cast<uint32_t>(i) < 10 && fits(1)) {
      data_[size_++] = static_cast<char>('0' + i);  // a loop counter, mostly
    } else {
      appendDigits(i);
    }
  }

 private:
  // Short pieces are copied here rather than by a call to memcpy.
  static void copyBytes(char* to, const char* from, size_t n) {
    if (n > 64) {
      std::memcpy(to, from, n);
    } else if (n > 16) {
      // 16 bytes at a time, the last 16 overlapping those before.
      for (size_t i = 0; i + 16 < n; i += 16) copy16(to + i, from + i);
      copy16(to + n - 16, from + n - 16);
    } else if (n >= 8) {
      copyEnds<uint64_t>(to, from, n);
    } else if (n >= 4) {
      copyEnds<uint32_t>(to, from, n);
    } else if (n > 0) {
      to[0] = from[0];
      to[n / 2] = from[n / 2];
      to[n - 1] = from[n - 1];
    }
  }
  // The first and the last word of n bytes, sizeof(Word) <= n < 2 * sizeof(Word):
  // together they cover all n. Both are read before either is written.
  template <class Word>
  static void copyEnds(char* to, const char* from, size_t n) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
  }
  static void copy16(char* to, const char* from) {
    struct Bytes16 {
      char bytes[16];
    } chunk;
    std::memcpy(&chunk, from, 16);
    std::memcpy(to, &chunk, 16);
  }
  void appendDigits(int32_t i);
  // Makes room for more bytes at least.
  void grow(size_t more);

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace vtl
