#include "platform/ByteArrayInputStream.h"

#include <cstring>

namespace platform {

int ByteArrayInputStream::read() {
  if (position_ >= bytes_.size()) return -1;
  return static_cast<unsigned char>(bytes_[position_++]);
}

int ByteArrayInputStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return 0;
  if (position_ >= bytes_.size()) return -1;
  size_t n = bytes_.size() - position_;
  if (n > static_cast<size_t>(count)) n = count;
  std::memcpy(buffer + offset, bytes_.data() + position_, n);
  position_ += n;
  return static_cast<int>(n);
}

}  // namespace platform
