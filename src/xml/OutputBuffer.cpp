#include "xml/OutputBuffer.h"

#include <algorithm>

namespace xml::detail {

namespace {
// Pieces start small for the many short texts and double up to the largest
// size, so that a long text needs few of them.
constexpr size_t kFirstPiece = 4 * 1024;
constexpr size_t kLargestPiece = 1024 * 1024;
}  // namespace

void OutputBuffer::grow(size_t n) {
  size_t size = kFirstPiece;
  if (!pieces_.empty()) {
    Piece& last = pieces_.back();
    last.length = static_cast<size_t>(next_ - last.bytes.get());
    size = static_cast<size_t>(end_ - last.bytes.get());
    size = std::min(size * 2, kLargestPiece);
  }
  size = std::max(size, n);
  pieces_.push_back({std::unique_ptr<char[]>(new char[size]), 0});
  next_ = pieces_.back().bytes.get();
  end_ = next_ + size;
}

void OutputBuffer::finish() {
  if (pieces_.empty()) return;
  pieces_.back().length = static_cast<size_t>(next_ - pieces_.back().bytes.get());
  size_t total = out_.size();
  for (const Piece& piece : pieces_) total += piece.length;
  out_.reserve(total);
  for (const Piece& piece : pieces_) out_.append(piece.bytes.get(), piece.length);
  pieces_.clear();
  next_ = end_ = nullptr;
}

}  // namespace xml::detail
