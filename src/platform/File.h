#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A path in the file system and the questions one asks of it. The path is
// kept as given, less repeated and trailing separators; nothing is resolved
// until asked (getAbsolutePath keeps ".." and links, getCanonicalPath
// resolves them).
class File {
 public:
  static constexpr char separatorChar = '/';
  static constexpr const char* separator = "/";

  File() = default;
  explicit File(std::string path);
  File(const std::string& parent, const std::string& child);
  File(const File& parent, const std::string& child);

  const std::string& getPath() const { return path_; }
  // The last path segment.
  std::string getName() const;
  // The path without its last segment, or nothing when there is none.
  std::optional<std::string> getParent() const;
  std::optional<File> getParentFile() const;

  bool isAbsolute() const { return !path_.empty() && path_[0] == separatorChar; }
  // Made absolute against the working folder, otherwise unchanged.
  std::string getAbsolutePath() const;
  File getAbsoluteFile() const { return File(getAbsolutePath()); }
  // Absolute, with ".", ".." and links resolved as far as the path exists.
  std::string getCanonicalPath() const;

  bool exists() const;
  bool isDirectory() const;
  bool isFile() const;
  // Length in bytes; 0 when the file does not exist.
  int64_t length() const;
  // Last change in milliseconds since 1970; 0 when the file does not exist.
  int64_t lastModified() const;
  // lastModified of the entry `name` of the folder open as `folder`: one
  // short lookup instead of a walk along the whole path.
  static int64_t lastModifiedIn(int folder, const std::string& name);

  // The names of a folder's entries in the file system's own order, without
  // "." and ".."; nothing when this is not a readable folder.
  std::optional<std::vector<std::string>> list() const;
  std::optional<std::vector<File>> listFiles() const;

  bool mkdir() const;
  // Creates the folder and every missing parent; false when nothing was made.
  bool mkdirs() const;
  bool renameTo(const File& target) const;
  // Deletes a file or an empty folder.
  bool remove() const;
  bool createNewFile() const;
  bool setLastModified(int64_t millis) const;
  // Pushes what was written to this file or folder to the disk; a delayed
  // write error shows here as an IOException.
  void sync() const;

  bool operator==(const File& other) const { return path_ == other.path_; }

 private:
  std::string path_;
};

}  // namespace platform
