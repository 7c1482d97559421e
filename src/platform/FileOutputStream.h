#pragma once

#include <string>

#include "platform/File.h"
#include "platform/OutputStream.h"

namespace platform {

// Writes a file from its first byte: the file is created, or cut to length 0
// (or, with append, written at its end). Failing to open it raises
// FileNotFoundException. Unbuffered: each write is one system write.
class FileOutputStream : public OutputStream {
 public:
  explicit FileOutputStream(const std::string& path, bool append = false);
  explicit FileOutputStream(const File& file, bool append = false)
      : FileOutputStream(file.getPath(), append) {}
  // Wraps an open descriptor (standard output or error); it is not closed.
  static std::unique_ptr<FileOutputStream> forDescriptor(int fd);
  ~FileOutputStream() override;
  FileOutputStream(const FileOutputStream&) = delete;
  FileOutputStream& operator=(const FileOutputStream&) = delete;

  using OutputStream::write;
  void write(const char* buffer, int offset, int count) override;
  void close() override;

 private:
  FileOutputStream(int fd, bool owned) : fd_(fd), owned_(owned) {}
  int fd_;
  bool owned_;
};

}  // namespace platform
