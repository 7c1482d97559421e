#include "platform/SpoolBuffer.h"

#include <algorithm>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {

SpoolBuffer::SpoolBuffer(int64_t threshold) : threshold_(threshold) {}

SpoolBuffer::~SpoolBuffer() {
  if (file_ != nullptr) std::fclose(file_);
}

void SpoolBuffer::spool() {
  file_ = std::tmpfile();
  if (file_ == nullptr) throw IOException("cannot create a temporary file: " + std::string(std::strerror(errno)));
  if (!memory_.empty() && std::fwrite(memory_.data(), 1, memory_.size(), file_) != memory_.size()) {
    throw IOException("cannot write a temporary file");
  }
  std::string().swap(memory_);
}

void SpoolBuffer::write(const char* buffer, int offset, int count) {
  if (count <= 0) return;
  if (file_ == nullptr && size_ + count > threshold_) spool();
  if (file_ == nullptr) {
    memory_.append(buffer + offset, static_cast<size_t>(count));
  } else {
    // Appends need a seek only after a read moved the file position.
    if ((!atEnd_ && std::fseek(file_, 0, SEEK_END) != 0) ||
        std::fwrite(buffer + offset, 1, static_cast<size_t>(count), file_) !=
            static_cast<size_t>(count)) {
      throw IOException("cannot write a temporary file");
    }
    atEnd_ = true;
  }
  size_ += count;
}

size_t SpoolBuffer::readAt(int64_t position, char* buffer, size_t count) const {
  if (position >= size_) return 0;
  count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size_ - position));
  if (file_ == nullptr) {
    std::memcpy(buffer, memory_.data() + position, count);
    return count;
  }
  atEnd_ = false;
  if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
    throw IOException("cannot read a temporary file");
  }
  size_t got = std::fread(buffer, 1, count, file_);
  if (got == 0) throw IOException("cannot read a temporary file");
  return got;
}

}  // namespace platform
