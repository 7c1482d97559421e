#pragma once

#include <string>

#include "platform/File.h"
#include "platform/InputStream.h"

namespace platform {

// Reads a file from its first byte. Opening a missing file, a folder or an
// unreadable file fails with FileNotFoundException.
class FileInputStream : public InputStream {
 public:
  explicit FileInputStream(const std::string& path);
  explicit FileInputStream(const File& file) : FileInputStream(file.getPath()) {}
  ~FileInputStream() override;
  FileInputStream(const FileInputStream&) = delete;
  FileInputStream& operator=(const FileInputStream&) = delete;

  using InputStream::read;
  int read(char* buffer, int offset, int count) override;
  int available() override;
  void close() override;

 private:
  int fd_;
};

}  // namespace platform
