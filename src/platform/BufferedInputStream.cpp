#include "platform/BufferedInputStream.h"

#include <cstring>

namespace platform {

BufferedInputStream::BufferedInputStream(InputStreamPtr in, int size)
    : owned_(std::move(in)), in_(owned_.get()), buffer_(size > 0 ? size : 8192) {}

BufferedInputStream::BufferedInputStream(InputStream& in, int size)
    : in_(&in), buffer_(size > 0 ? size : 8192) {}

bool BufferedInputStream::fill() {
  position_ = 0;
  limit_ = 0;
  int n = in_->read(buffer_.data(), 0, static_cast<int>(buffer_.size()));
  if (n <= 0) return false;
  limit_ = n;
  return true;
}

int BufferedInputStream::read() {
  if (position_ >= limit_ && !fill()) return -1;
  return static_cast<unsigned char>(buffer_[position_++]);
}

std::string_view BufferedInputStream::buffered() {
  if (position_ >= limit_ && !fill()) return {};
  return {buffer_.data() + position_, static_cast<size_t>(limit_ - position_)};
}

int BufferedInputStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return 0;
  if (position_ >= limit_) {
    // A large read bypasses the buffer: no copy for bulk transfers.
    if (count >= static_cast<int>(buffer_.size())) return in_->read(buffer, offset, count);
    if (!fill()) return -1;
  }
  int n = limit_ - position_ < count ? limit_ - position_ : count;
  std::memcpy(buffer + offset, buffer_.data() + position_, n);
  position_ += n;
  return n;
}

int BufferedInputStream::available() { return (limit_ - position_) + in_->available(); }

void BufferedInputStream::close() { in_->close(); }

}  // namespace platform
