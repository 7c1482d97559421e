#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class FileInputStream;

// A source of bytes. Subclasses implement the range read; the single-byte
// read, skip and the helpers are built on it.
class InputStream {
 public:
  virtual ~InputStream() = default;

  // Reads up to count bytes into buffer[offset..offset+count). Returns the
  // number of bytes read (> 0 unless count is 0), or -1 at the end.
  virtual int read(char* buffer, int offset, int count) = 0;

  // The next byte as 0..255, or -1 at the end.
  virtual int read();

  // Skips up to n bytes by reading them; returns how many were skipped.
  virtual int64_t skip(int64_t n);

  // Bytes that can be read without blocking; 0 when unknown.
  virtual int available() { return 0; }

  virtual void close() {}

  // The file whose bytes, from its current offset on, are exactly what this
  // stream would read next, so that a caller may send them on without
  // reading them; null when there is none.
  virtual FileInputStream* plainFile() { return nullptr; }

  // Reads to the end and returns everything read.
  virtual std::string readAll();

  // Reads exactly count bytes or fails with EOFException.
  void readFully(char* buffer, int count);
};

using InputStreamPtr = std::unique_ptr<InputStream>;

}  // namespace platform
