#pragma once

#include <string_view>
#include <vector>

#include "platform/InputStream.h"

namespace platform {

// Reads its source in large blocks so that small reads are cheap. Owns the
// source when given a unique_ptr; otherwise only borrows it.
class BufferedInputStream : public InputStream {
 public:
  explicit BufferedInputStream(InputStreamPtr in, int size = 8192);
  explicit BufferedInputStream(InputStream& in, int size = 8192);

  using InputStream::read;
  int read(char* buffer, int offset, int count) override;
  int read() override;
  int available() override;
  void close() override;

  // The bytes read ahead and not yet taken, for a caller that scans them in
  // place; reads the next block from the source first when none are left.
  // Empty at the end of the source. Valid until the next call on the stream.
  std::string_view buffered();
  // Takes the first count bytes of those buffered() showed.
  void consume(int count) { position_ += count; }

 private:
  bool fill();

  InputStreamPtr owned_;
  InputStream* in_;
  std::vector<char> buffer_;
  int position_ = 0;
  int limit_ = 0;
};

}  // namespace platform
