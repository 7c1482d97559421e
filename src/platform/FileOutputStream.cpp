#include "platform/FileOutputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {

FileOutputStream::FileOutputStream(const std::string& path, bool append) : fd_(-1), owned_(true) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) throw FileNotFoundException(path + " (" + std::strerror(errno) + ")");
  fd_ = fd;
}

std::unique_ptr<FileOutputStream> FileOutputStream::forDescriptor(int fd) {
  return std::unique_ptr<FileOutputStream>(new FileOutputStream(fd, false));
}

FileOutputStream::~FileOutputStream() {
  if (fd_ >= 0 && owned_) ::close(fd_);
}

void FileOutputStream::write(const char* buffer, int offset, int count) {
  if (fd_ < 0) throw IOException("Stream Closed");
  const char* p = buffer + offset;
  size_t left = count > 0 ? static_cast<size_t>(count) : 0;
  while (left > 0) {
    ssize_t n = ::write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw IOException(std::strerror(errno));
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void FileOutputStream::close() {
  if (fd_ >= 0) {
    if (owned_ && ::close(fd_) != 0 && errno != EINTR) {
      fd_ = -1;
      throw IOException(std::strerror(errno));
    }
    fd_ = -1;
  }
}

}  // namespace platform
