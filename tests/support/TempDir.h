#pragma once

#include <string>

namespace testsupport {

// A fresh folder below the system's temporary folder, removed with all its
// contents when the object goes. path() ends with "/".
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + name
  std::string file(const std::string& name) const { return path_ + name; }
  // Writes bytes to path() + name, creating parent folders.
  std::string write(const std::string& name, const std::string& bytes) const;
  static std::string read(const std::string& fullPath);

 private:
  std::string path_;
};

// Folders of the source tree.
std::string sourceDir();
std::string conformanceDir();

}  // namespace testsupport
