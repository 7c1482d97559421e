#include "platform/OutputStreamWriter.h"

#include "platform/Exceptions.h"

namespace platform {
namespace {
constexpr size_t kBlock = 8192;
}

OutputStreamWriter::OutputStreamWriter(OutputStreamPtr out, Charset charset)
    : owned_(std::move(out)), out_(owned_.get()), encoder_(charset) {}

OutputStreamWriter::OutputStreamWriter(OutputStream& out, Charset charset)
    : out_(&out), encoder_(charset) {}

OutputStreamWriter::OutputStreamWriter(OutputStreamPtr out, std::string_view charsetName)
    : OutputStreamWriter(std::move(out), Charset::forName(charsetName)) {}

OutputStreamWriter::OutputStreamWriter(OutputStream& out, std::string_view charsetName)
    : OutputStreamWriter(out, Charset::forName(charsetName)) {}

OutputStreamWriter::~OutputStreamWriter() {
  if (closed_) return;
  try {
    encoder_.encode({}, true, bytes_);
    drain();
    out_->flush();
  } catch (const std::exception&) {
  }
}

void OutputStreamWriter::checkOpen() const {
  if (closed_) throw IOException("Stream closed");
}

void OutputStreamWriter::drain() {
  if (bytes_.empty()) return;
  std::string pending;
  pending.swap(bytes_);
  out_->write(pending.data(), 0, static_cast<int>(pending.size()));
}

void OutputStreamWriter::write(std::string_view text) {
  checkOpen();
  encoder_.encode(text, false, bytes_);
  if (bytes_.size() >= kBlock) drain();
}

void OutputStreamWriter::flush() {
  checkOpen();
  drain();
  out_->flush();
}

void OutputStreamWriter::close() {
  if (closed_) return;
  closed_ = true;
  encoder_.encode({}, true, bytes_);
  drain();
  out_->close();
}

}  // namespace platform
