#include "platform/BufferedOutputStream.h"

#include <cstring>

namespace platform {

BufferedOutputStream::BufferedOutputStream(OutputStreamPtr out, int size)
    : owned_(std::move(out)), out_(owned_.get()), buffer_(size > 0 ? size : 8192) {}

BufferedOutputStream::BufferedOutputStream(OutputStream& out, int size)
    : out_(&out), buffer_(size > 0 ? size : 8192) {}

BufferedOutputStream::~BufferedOutputStream() {
  if (closed_) return;
  try {
    drain();
  } catch (...) {
  }
}

void BufferedOutputStream::drain() {
  if (count_ > 0) {
    int n = count_;
    count_ = 0;
    out_->write(buffer_.data(), 0, n);
  }
}

void BufferedOutputStream::write(int value) {
  if (count_ >= static_cast<int>(buffer_.size())) drain();
  buffer_[count_++] = static_cast<char>(value & 0xFF);
}

void BufferedOutputStream::write(const char* buffer, int offset, int count) {
  if (count <= 0) return;
  if (count >= static_cast<int>(buffer_.size())) {
    drain();
    out_->write(buffer, offset, count);
    return;
  }
  if (count > static_cast<int>(buffer_.size()) - count_) drain();
  std::memcpy(buffer_.data() + count_, buffer + offset, count);
  count_ += count;
}

void BufferedOutputStream::flush() {
  drain();
  out_->flush();
}

void BufferedOutputStream::close() {
  if (closed_) return;
  closed_ = true;
  try {
    flush();
  } catch (...) {
    out_->close();
    throw;
  }
  out_->close();
}

}  // namespace platform
