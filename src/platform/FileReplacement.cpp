#include "platform/FileReplacement.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/Exceptions.h"
#include "platform/File.h"

namespace platform {

namespace {

std::atomic<uint64_t> workCounter{0};

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
  File(work_).sync();
  if (::rename(work_.c_str(), path_.c_str()) != 0)
    throw IOException("cannot replace " + path_ + ": " + std::strerror(errno));
  committed_ = true;
  File(folderOf(path_)).sync();
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
