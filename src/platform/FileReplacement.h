#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Replaces one file whole. The caller writes the new content to workPath(),
// a file beside the target named "<name>.<pid>-<n>.new"; commit() pushes it
// to the disk, renames it over the target and syncs the folder, so that a
// failed write leaves the previous file and a committed one survives a power
// cut. A work file not committed is removed when the object goes.
class FileReplacement {
 public:
  explicit FileReplacement(std::string path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  const std::string& workPath() const { return work_; }
  // Fails with IOException when the data cannot be made durable or the
  // rename fails; the target is then unchanged.
  void commit();

  // The name of the file that a work file of this name replaces: the part
  // before ".<digits>-<digits>.new", when name has that form and the part
  // is not empty.
  static std::optional<std::string_view> targetOfWorkName(std::string_view name);
  // Whether name is a work file's name whose target is "<digits>", an
  // optional "-" before them.
  static bool isNumberedWorkName(std::string_view name);

 private:
  std::string path_;
  std::string work_;
  bool committed_ = false;
};

}  // namespace platform
