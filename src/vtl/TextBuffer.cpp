#include "vtl/TextBuffer.h"

#include <algorithm>
#include <charconv>

namespace vtl {

void TextBuffer::reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
  data_ = std::move(data);
  capacity_ = capacity;
}

void TextBuffer::grow(size_t more) { reserve(std::max(size_ + more, std::max<size_t>(capacity_ * 2, 64))); }

void TextBuffer::appendDigits(int32_t i) {
  if (!fits(11)) grow(11);  // "-2147483648"
  char* at = data_.get() + size_;
  size_ += static_cast<size_t>(std::to_chars(at, at + 11, i).ptr - at);
}

}  // namespace vtl
