#pragma once

#include <cstdint>
#include <string>

#include "platform/File.h"
#include "platform/InputStream.h"
#include "platform/Socket.h"

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
  FileInputStream* plainFile() override { return fd_ >= 0 ? this : nullptr; }
  // Sends up to count bytes from the current position straight to the
  // socket, as Socket::sendFile does; how many went, fewer only when the
  // file ended first.
  int64_t transferTo(Socket& socket, int64_t count);

 private:
  int fd_;
  int64_t size_ = -1;    // a regular file's size at opening, -1 for any other file
  int64_t position_ = 0;  // bytes read so far
};

}  // namespace platform
