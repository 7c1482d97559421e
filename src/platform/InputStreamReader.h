#pragma once

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
  InputStreamPtr owned_;
  InputStream* in_;
  Charset::Decoder decoder_;
  bool ended_ = false;
};

}  // namespace platform
