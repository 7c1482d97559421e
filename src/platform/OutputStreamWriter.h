#pragma once

#include <string>
#include <string_view>

#include "platform/Charset.h"
#include "platform/OutputStream.h"
#include "platform/Writer.h"

namespace platform {

// Writes text onto a byte stream in a named character set. The bytes are
// gathered in a block and reach the stream on flush(), close() or when the
// block is full; a writer destroyed without close() still passes its rest
// on (errors then are lost). Owns the stream when given a unique_ptr;
// otherwise only borrows it. close() closes the stream.
class OutputStreamWriter : public Writer {
 public:
  OutputStreamWriter(OutputStreamPtr out, Charset charset);
  OutputStreamWriter(OutputStream& out, Charset charset);
  // Fails with UnsupportedEncodingException for an unknown name.
  OutputStreamWriter(OutputStreamPtr out, std::string_view charsetName);
  OutputStreamWriter(OutputStream& out, std::string_view charsetName);
  ~OutputStreamWriter() override;

  void write(std::string_view text) override;
  void flush() override;
  void close() override;

 private:
  void checkOpen() const;
  void drain();

  OutputStreamPtr owned_;
  OutputStream* out_;
  Charset::Encoder encoder_;
  std::string bytes_;
  bool closed_ = false;
};

}  // namespace platform
