#include "platform/BufferedWriter.h"

#include "platform/Exceptions.h"

namespace platform {

BufferedWriter::BufferedWriter(WriterPtr out, size_t size)
    : owned_(std::move(out)), out_(owned_.get()), size_(size > 0 ? size : 8192) {}

BufferedWriter::BufferedWriter(Writer& out, size_t size) : out_(&out), size_(size > 0 ? size : 8192) {}

BufferedWriter::~BufferedWriter() {
  if (closed_) return;
  try {
    drain();
    out_->flush();
  } catch (const std::exception&) {
  }
}

void BufferedWriter::drain() {
  if (buffer_.empty()) return;
  std::string pending;
  pending.swap(buffer_);
  out_->write(pending);
}

void BufferedWriter::write(std::string_view text) {
  if (closed_) throw IOException("Stream closed");
  if (text.size() >= size_) {
    drain();
    out_->write(text);
    return;
  }
  buffer_.append(text);
  if (buffer_.size() >= size_) drain();
}

void BufferedWriter::flush() {
  if (closed_) throw IOException("Stream closed");
  drain();
  out_->flush();
}

void BufferedWriter::close() {
  if (closed_) return;
  closed_ = true;
  drain();
  out_->close();
}

}  // namespace platform
