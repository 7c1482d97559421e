#include "platform/PrintStream.h"

#include "platform/Exceptions.h"

namespace platform {

PrintStream::PrintStream(OutputStreamPtr out, bool autoFlush)
    : owned_(std::move(out)), out_(owned_.get()), autoFlush_(autoFlush) {}

PrintStream::PrintStream(OutputStream& out, bool autoFlush) : out_(&out), autoFlush_(autoFlush) {}

void PrintStream::writeLocked(std::string_view bytes) {
  try {
    out_->write(bytes);
  } catch (const std::exception&) {
    error_ = true;
  }
}

void PrintStream::print(std::string_view text) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  writeLocked(text);
}

void PrintStream::println(std::string_view text) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  std::string line;
  line.reserve(text.size() + 1);
  line.append(text);
  line.push_back('\n');
  writeLocked(line);
  if (autoFlush_) flush();
}

// A bare line end is not a printed text: decorating subclasses leave it alone.
void PrintStream::println() {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  writeLocked("\n");
  if (autoFlush_) flush();
}

void PrintStream::write(const char* buffer, int offset, int count) {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  writeLocked(std::string_view(buffer + offset, count > 0 ? count : 0));
  if (autoFlush_) flush();
}

void PrintStream::flush() {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  try {
    out_->flush();
  } catch (const std::exception&) {
    error_ = true;
  }
}

void PrintStream::close() {
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  try {
    out_->close();
  } catch (const std::exception&) {
    error_ = true;
  }
}

bool PrintStream::checkError() {
  flush();
  std::lock_guard<std::recursive_mutex> guard(mutex_);
  return error_;
}

}  // namespace platform
