#include "platform/FileReplacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {

namespace {

std::atomic<uint64_t> workCounter{0};

// fsync of a file or folder; a delayed write error shows here.
void sync(const std::string& path, int flags) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) throw IOException("cannot open " + path + " to sync: " + std::strerror(errno));
  int result = ::fsync(fd);
  int error = errno;
  ::close(fd);
  if (result != 0) throw IOException("cannot sync " + path + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Length of the run of digits at the start of text.
size_t digits(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  return n;
}

}  // namespace

FileReplacement::FileReplacement(std::string path)
    : path_(std::move(path)),
      work_(path_ + "." + std::to_string(::getpid()) + "-" + std::to_string(workCounter.fetch_add(1)) +
            ".new") {}

FileReplacement::~FileReplacement() {
  if (!committed_) ::unlink(work_.c_str());
}

void FileReplacement::commit() {
  sync(work_, O_RDONLY);
  if (::rename(work_.c_str(), path_.c_str()) != 0)
    throw IOException("cannot replace " + path_ + ": " + std::strerror(errno));
  committed_ = true;
  sync(folderOf(path_), O_RDONLY | O_DIRECTORY);
}

bool FileReplacement::isNumberedWorkName(std::string_view name) {
  if (!name.empty() && name[0] == '-') name.remove_prefix(1);
  for (char separator : {'.', '-'}) {
    size_t n = digits(name);
    if (n == 0 || n == name.size() || name[n] != separator) return false;
    name.remove_prefix(n + 1);
  }
  size_t n = digits(name);
  return n > 0 && name.substr(n) == ".new";
}

}  // namespace platform
