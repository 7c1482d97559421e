#include "platform/BufferedReader.h"

#include <cstdint>
#include <cstring>

namespace platform {
namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kHighs = 0x8080808080808080ull;

// Whether any byte of the word equals the byte repeated in pattern.
bool hasByte(uint64_t word, uint64_t pattern) {
  const uint64_t x = word ^ pattern;
  return ((x - kOnes) & ~x & kHighs) != 0;
}

// The first "\n" or "\r" at or after from, or text.size(): eight bytes at
// a time while a word holds neither.
size_t findLineEnd(const std::string& text, size_t from) {
  const char* data = text.data();
  const size_t size = text.size();
  size_t i = from;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, data + i, 8);
    if (hasByte(word, '\n' * kOnes) || hasByte(word, '\r' * kOnes)) break;
  }
  while (i < size && data[i] != '\n' && data[i] != '\r') ++i;
  return i;
}

}  // namespace

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
  std::string line;
  if (!readLine(line)) return std::nullopt;
  return line;
}

bool BufferedReader::readLine(std::string& line) {
  line.clear();
  if (!fill()) return false;
  for (;;) {
    const size_t end = findLineEnd(buffer_, position_);
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

int BufferedReader::read(std::string& out) {
  if (!fill()) return -1;
  size_t n = buffer_.size() - position_;
  out.append(buffer_, position_, n);
  position_ = buffer_.size();
  return static_cast<int>(n);
}

void BufferedReader::close() { in_->close(); }

}  // namespace platform
