#include "platform/FileInputStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {

FileInputStream::FileInputStream(const std::string& path) : fd_(-1) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileNotFoundException(path + " (" + std::strerror(errno) + ")");
  struct stat st;
  bool known = ::fstat(fd, &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw FileNotFoundException(path + " (Is a directory)");
  }
  if (known && S_ISREG(st.st_mode)) size_ = st.st_size;
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
    if (n > 0) {
      position_ += n;
      return static_cast<int>(n);
    }
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

std::string FileInputStream::readAll() {
  if (fd_ < 0 || size_ < 0) return InputStream::readAll();
  // Room for one byte more than the file had at opening: a read that stops
  // short of it, once that size is reached, has met the end, so no further
  // read is needed to see it. A file that grew meanwhile is read on.
  int64_t left = size_ > position_ ? size_ - position_ : 0;
  constexpr int64_t kMaxRead = 1 << 30;
  std::string out(static_cast<size_t>(std::min(left, kMaxRead) + 1), '\0');
  size_t have = 0;
  for (;;) {
    if (have == out.size()) out.resize(out.size() * 2);
    size_t room = std::min<size_t>(out.size() - have, kMaxRead);
    int got = read(out.data() + have, 0, static_cast<int>(room));
    if (got < 0) break;
    have += static_cast<size_t>(got);
    if (static_cast<int64_t>(have) >= left && static_cast<size_t>(got) < room) break;
  }
  out.resize(have);
  return out;
}

int64_t FileInputStream::transferTo(Socket& socket, int64_t count) {
  if (fd_ < 0) throw IOException("Stream Closed");
  const int64_t sent = socket.sendFile(fd_, count);
  position_ += sent;
  return sent;
}

void FileInputStream::close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace platform
