#include "platform/File.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

namespace platform {
namespace {

std::string normalize(std::string path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

std::string workingFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return "/";
  return buffer;
}

bool statPath(const std::string& path, struct stat& st) {
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

int64_t changeMillis(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
}

}  // namespace

File::File(std::string path) : path_(normalize(std::move(path))) {}

File::File(const std::string& parent, const std::string& child)
    : path_(normalize(parent.empty() ? "/" + child : parent + "/" + child)) {}

File::File(const File& parent, const std::string& child) : File(parent.path_, child) {}

std::string File::getName() const {
  size_t slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

std::optional<std::string> File::getParent() const {
  size_t slash = path_.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  if (slash == 0) return path_.size() > 1 ? std::optional<std::string>("/") : std::nullopt;
  return path_.substr(0, slash);
}

std::optional<File> File::getParentFile() const {
  auto parent = getParent();
  if (!parent) return std::nullopt;
  return File(*parent);
}

std::string File::getAbsolutePath() const {
  if (isAbsolute()) return path_;
  std::string cwd = workingFolder();
  if (path_.empty()) return cwd;
  return normalize(cwd + "/" + path_);
}

std::string File::getCanonicalPath() const {
  // Walk the absolute path segment by segment, letting realpath resolve links
  // while the prefix exists; the part that does not exist is only folded.
  std::string absolute = getAbsolutePath();
  std::string resolved;
  bool exists = true;
  size_t start = 1;
  while (start <= absolute.size()) {
    size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    std::string part = absolute.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      size_t slash = resolved.rfind('/');
      resolved.erase(slash == std::string::npos ? 0 : slash);
      continue;
    }
    resolved.append("/").append(part);
    if (!exists) continue;
    char buffer[PATH_MAX];
    if (::realpath(resolved.c_str(), buffer) != nullptr) {
      resolved = std::strcmp(buffer, "/") == 0 ? "" : buffer;
    } else {
      exists = false;
    }
  }
  return resolved.empty() ? "/" : resolved;
}

bool File::exists() const {
  struct stat st;
  return statPath(path_, st);
}

bool File::isDirectory() const {
  struct stat st;
  return statPath(path_, st) && S_ISDIR(st.st_mode);
}

bool File::isFile() const {
  struct stat st;
  return statPath(path_, st) && S_ISREG(st.st_mode);
}

int64_t File::length() const {
  struct stat st;
  return statPath(path_, st) ? static_cast<int64_t>(st.st_size) : 0;
}

int64_t File::lastModified() const {
  struct stat st;
  return statPath(path_, st) ? changeMillis(st) : 0;
}

int64_t File::lastModifiedIn(int folder, const std::string& name) {
  struct stat st;
  return !name.empty() && ::fstatat(folder, name.c_str(), &st, 0) == 0 ? changeMillis(st) : 0;
}

std::optional<std::vector<std::string>> File::list() const {
  DIR* dir = ::opendir(path_.empty() ? "." : path_.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (struct dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(dir);
  return names;
}

std::optional<std::vector<File>> File::listFiles() const {
  auto names = list();
  if (!names) return std::nullopt;
  std::vector<File> files;
  files.reserve(names->size());
  for (const auto& name : *names) files.emplace_back(*this, name);
  return files;
}

bool File::mkdir() const { return !path_.empty() && ::mkdir(path_.c_str(), 0755) == 0; }

bool File::mkdirs() const {
  if (exists()) return false;
  if (mkdir()) return true;
  auto parent = getParentFile();
  if (!parent) return false;
  parent->mkdirs();
  return mkdir();
}

bool File::renameTo(const File& target) const {
  return ::rename(path_.c_str(), target.path_.c_str()) == 0;
}

void File::sync() const {
  int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw IOException("cannot open " + path_ + " to sync: " + std::strerror(errno));
  int result = ::fsync(fd);
  int error = errno;
  ::close(fd);
  if (result != 0) throw IOException("cannot sync " + path_ + ": " + std::strerror(error));
}

bool File::remove() const {
  if (::unlink(path_.c_str()) == 0) return true;
  return errno == EISDIR || errno == EPERM ? ::rmdir(path_.c_str()) == 0 : false;
}

bool File::createNewFile() const {
  int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw IOException(path_ + ": cannot create");
  }
  ::close(fd);
  return true;
}

bool File::setLastModified(int64_t millis) const {
  struct timeval times[2];
  times[0].tv_sec = times[1].tv_sec = millis / 1000;
  times[0].tv_usec = times[1].tv_usec = (millis % 1000) * 1000;
  return ::utimes(path_.c_str(), times) == 0;
}

}  // namespace platform
