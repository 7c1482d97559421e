#include "platform/FileInputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {

FileInputStream::FileInputStream(const std::string& path) : fd_(-1) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileNotFoundException(path + " (" + std::strerror(errno) + ")");
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw FileNotFoundException(path + " (Is a directory)");
  }
  fd_ = fd;
}

FileInputStream::~FileInputStream() {
  if (fd_ >= 0) ::close(fd_);
}

int FileInputStream::read(char* buffer, int offset, int count) {
  if (fd_ < 0) throw IOException("Stream Closed");
  if (count <= 0) return 0;
  for (;;) {
    ssize_t n = ::read(fd_, buffer + offset, static_cast<size_t>(count));
    if (n > 0) return static_cast<int>(n);
    if (n == 0) return -1;
    if (errno != EINTR) throw IOException(std::strerror(errno));
  }
}

int FileInputStream::available() {
  if (fd_ < 0) return 0;
  struct stat st;
  off_t pos = ::lseek(fd_, 0, SEEK_CUR);
  if (pos < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  off_t left = st.st_size - pos;
  return left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left < 0 ? 0 : left);
}

void FileInputStream::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace platform
