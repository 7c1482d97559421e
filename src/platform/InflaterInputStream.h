#pragma once

#include <vector>

#include <zlib.h>

#include "platform/InputStream.h"

namespace platform {

// Inflates one zlib stream (RFC 1950: header, deflate data, Adler-32) read
// from a source through an input buffer of a given size. Reports the end
// once the stream's trailer is checked; bytes after it are not read as data.
class InflaterInputStream : public InputStream {
 public:
  // in must outlive this.
  InflaterInputStream(InputStream& in, int bufferSize = 512);
  ~InflaterInputStream() override;
  InflaterInputStream(const InflaterInputStream&) = delete;
  InflaterInputStream& operator=(const InflaterInputStream&) = delete;

  using InputStream::read;
  // EOFException when the source ends inside the stream; IOException on
  // data that is not a valid zlib stream.
  int read(char* buffer, int offset, int count) override;
  void close() override { in_.close(); }

 private:
  InputStream& in_;
  std::vector<char> input_;
  z_stream zs_{};
  bool finished_ = false;
};

}  // namespace platform
