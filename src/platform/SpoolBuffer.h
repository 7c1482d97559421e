#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/OutputStream.h"

namespace platform {

// Collects bytes in memory up to a threshold and moves them to an unnamed
// temporary file beyond it, so large bodies never sit in memory whole. The
// bytes read back are the bytes written, whichever way they were kept.
class SpoolBuffer : public OutputStream {
 public:
  static constexpr int64_t kDefaultThreshold = 16 << 20;

  explicit SpoolBuffer(int64_t threshold = kDefaultThreshold);
  ~SpoolBuffer() override;
  SpoolBuffer(const SpoolBuffer&) = delete;
  SpoolBuffer& operator=(const SpoolBuffer&) = delete;

  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override;

  int64_t size() const { return size_; }
  bool spooled() const { return file_ != nullptr; }
  // Copies up to count bytes from position into buffer; returns how many.
  size_t readAt(int64_t position, char* buffer, size_t count) const;

 private:
  void spool();

  int64_t threshold_;
  int64_t size_ = 0;
  std::string memory_;
  FILE* file_ = nullptr;
  mutable bool atEnd_ = false;  // the file position is at the end
};

}  // namespace platform
