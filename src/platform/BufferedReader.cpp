#include "platform/BufferedReader.h"

#include <cstring>

namespace platform {

BufferedReader::BufferedReader(ReaderPtr in) : owned_(std::move(in)), in_(owned_.get()) {}

BufferedReader::BufferedReader(Reader& in) : in_(&in) {}

bool BufferedReader::fill() {
  for (;;) {
    if (position_ < buffer_.size()) {
      if (!skipLineFeed_) return true;
      skipLineFeed_ = false;
      if (buffer_[position_] == '\n') ++position_;
      continue;
    }
    if (ended_) return false;
    buffer_.clear();
    position_ = 0;
    returnKnown_ = false;
    if (in_->read(buffer_) < 0) ended_ = true;
  }
}

std::optional<std::string> BufferedReader::readLine() {
  std::string line;
  if (!readLine(line)) return std::nullopt;
  return line;
}

bool BufferedReader::readLine(std::string& line) {
  line.clear();
  if (!fill()) return false;
  for (;;) {
    const size_t end = findLineEnd();
    if (end < buffer_.size()) {
      line.append(buffer_, position_, end - position_);
      skipLineFeed_ = buffer_[end] == '\r';
      position_ = end + 1;
      return true;
    }
    line.append(buffer_, position_, std::string::npos);
    position_ = buffer_.size();
    if (!fill()) return true;
  }
}

// Text is searched by memchr, which is fast, but for one byte: the next
// "\r" is looked for once and remembered until it is passed, and each line
// is a search for "\n" up to it. A text without "\r" thus costs one extra
// search per buffer.
size_t BufferedReader::findLineEnd() {
  const char* data = buffer_.data();
  const size_t size = buffer_.size();
  if (!returnKnown_ || returnAt_ < position_) {
    const void* found = std::memchr(data + position_, '\r', size - position_);
    returnAt_ = found ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
    returnKnown_ = true;
  }
  const void* found = std::memchr(data + position_, '\n', returnAt_ - position_);
  return found ? static_cast<size_t>(static_cast<const char*>(found) - data) : returnAt_;
}

int BufferedReader::read(std::string& out) {
  if (!fill()) return -1;
  size_t n = buffer_.size() - position_;
  out.append(buffer_, position_, n);
  position_ = buffer_.size();
  return static_cast<int>(n);
}

void BufferedReader::close() { in_->close(); }

}  // namespace platform
