#pragma once

#include <cstdint>
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
  // A regular file is read straight into the text, sized as at opening.
  std::string readAll() override;

 private:
  int fd_;
  int64_t size_ = -1;    // a regular file's size at opening, -1 for any other file
  int64_t position_ = 0;  // bytes read so far
};

}  // namespace platform
