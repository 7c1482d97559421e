#pragma once

#include <memory>
#include <string_view>

#include "platform/Charset.h"
#include "platform/InputStream.h"
#include "platform/Reader.h"

namespace platform {

// Reads the bytes of a stream as text in a named character set. Owns the
// stream when given a unique_ptr; otherwise only borrows it. close() closes
// the stream.
class InputStreamReader : public Reader {
 public:
  InputStreamReader(InputStreamPtr in, Charset charset);
  InputStreamReader(InputStream& in, Charset charset);
  // Fails with UnsupportedEncodingException for an unknown name.
  InputStreamReader(InputStreamPtr in, std::string_view charsetName);
  InputStreamReader(InputStream& in, std::string_view charsetName);

  int read(std::string& out) override;
  void close() override;

 private:
  // Bytes taken from the stream per call: large, since each call on a file
  // is a system call, whose cost outweighs the copy of the bytes.
  static constexpr int kPieceSize = 64 * 1024;

  InputStreamPtr owned_;
  InputStream* in_;
  Charset::Decoder decoder_;
  std::unique_ptr<char[]> piece_;  // made at the first read
  bool ended_ = false;
};

}  // namespace platform
