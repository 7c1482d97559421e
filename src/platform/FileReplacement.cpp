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

// Length of the run of digits at the end of text.
size_t trailingDigits(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && text[text.size() - 1 - n] >= '0' && text[text.size() - 1 - n] <= '9') ++n;
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

std::optional<std::string_view> FileReplacement::targetOfWorkName(std::string_view name) {
  constexpr std::string_view kSuffix = ".new";
  if (name.size() <= kSuffix.size() || name.substr(name.size() - kSuffix.size()) != kSuffix) return std::nullopt;
  name.remove_suffix(kSuffix.size());
  // "<pid>-<n>", read from the end: the target's own name may hold anything.
  for (char separator : {'-', '.'}) {
    const size_t n = trailingDigits(name);
    if (n == 0 || n == name.size() || name[name.size() - n - 1] != separator) return std::nullopt;
    name.remove_suffix(n + 1);
  }
  if (name.empty()) return std::nullopt;
  return name;
}

bool FileReplacement::isNumberedWorkName(std::string_view name) {
  std::optional<std::string_view> target = targetOfWorkName(name);
  if (!target) return false;
  if (target->front() == '-') target->remove_prefix(1);
  return !target->empty() && trailingDigits(*target) == target->size();
}

}  // namespace platform
