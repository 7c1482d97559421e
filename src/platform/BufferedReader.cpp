#include "platform/BufferedReader.h"

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
    if (in_->read(buffer_) < 0) ended_ = true;
  }
}

std::optional<std::string> BufferedReader::readLine() {
  if (!fill()) return std::nullopt;
  std::string line;
  for (;;) {
    size_t end = position_;
    while (end < buffer_.size() && buffer_[end] != '\n' && buffer_[end] != '\r') ++end;
    if (end < buffer_.size()) {
      line.append(buffer_, position_, end - position_);
      skipLineFeed_ = buffer_[end] == '\r';
      position_ = end + 1;
      return line;
    }
    line.append(buffer_, position_, std::string::npos);
    position_ = buffer_.size();
    if (!fill()) return line;
  }
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
