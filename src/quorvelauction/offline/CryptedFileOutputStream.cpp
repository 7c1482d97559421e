#include "quorvelauction/offline/CryptedFileOutputStream.h"

#include <algorithm>

namespace quorvelauction::offline {
namespace {
// Larger writes go out in pieces of this size, so the copy stays small.
constexpr int kMaxPiece = 1 << 20;
}  // namespace

CryptedFileOutputStream::CryptedFileOutputStream(const platform::File& file) : out_(file), crypt_(file) {}

CryptedFileOutputStream::CryptedFileOutputStream(const std::string& path)
    : CryptedFileOutputStream(platform::File(path)) {}

void CryptedFileOutputStream::write(const char* buffer, int offset, int count) {
  while (count > 0) {
    int n = std::min(count, kMaxPiece);
    if (scrambled_.size() < static_cast<size_t>(n)) scrambled_.resize(n);
    crypt_.crypt(buffer + offset, scrambled_.data(), static_cast<size_t>(n));
    out_.write(scrambled_.data(), 0, n);
    offset += n;
    count -= n;
  }
}

void CryptedFileOutputStream::write(int value) { out_.write(crypt_.crypt(value) & 0xFF); }

void CryptedFileOutputStream::close() { out_.close(); }

}  // namespace quorvelauction::offline
