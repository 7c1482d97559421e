#include "quorvelauction/offline/CryptedFileInputStream.h"

#include <algorithm>

namespace quorvelauction::offline {
namespace {
// A read of at least this size goes straight to the file; smaller ones are
// served from a block of this size read ahead.
constexpr size_t kBlock = 64 * 1024;
}  // namespace

// The file is opened before the scrambler is built: a file that cannot be
// opened never gets one.
CryptedFileInputStream::CryptedFileInputStream(const platform::File& file) : in_(file), crypt_(file) {}

CryptedFileInputStream::CryptedFileInputStream(const std::string& path)
    : CryptedFileInputStream(platform::File(path)) {}

bool CryptedFileInputStream::readAhead() {
  if (ahead_.empty()) ahead_.resize(kBlock);
  position_ = 0;
  limit_ = 0;
  int n = in_.read(ahead_.data(), 0, static_cast<int>(ahead_.size()));
  if (n <= 0) return false;
  limit_ = static_cast<size_t>(n);
  return true;
}

int CryptedFileInputStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return in_.read(buffer, offset, count);
  if (position_ == limit_) {
    if (static_cast<size_t>(count) >= kBlock) {
      int n = in_.read(buffer, offset, count);
      if (n > 0) crypt_.crypt(buffer + offset, buffer + offset, static_cast<size_t>(n));
      return n;
    }
    if (!readAhead()) return -1;
  }
  size_t n = std::min(static_cast<size_t>(count), limit_ - position_);
  crypt_.crypt(ahead_.data() + position_, buffer + offset, n);
  position_ += n;
  return static_cast<int>(n);
}

int CryptedFileInputStream::read() {
  if (position_ == limit_ && !readAhead()) return -1;
  return crypt_.crypt(ahead_[position_++]) & 0xFF;
}

platform::FileInputStream* CryptedFileInputStream::plainFile() {
  if (crypt_.scrambles() || position_ != limit_) return nullptr;
  return in_.plainFile();
}

// Bytes read ahead are dropped: a closed stream fails every read.
void CryptedFileInputStream::close() {
  position_ = limit_ = 0;
  in_.close();
}

}  // namespace quorvelauction::offline
