#pragma once

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

  // Whether name has the form of a work file of some "<digits>" target:
  // "<digits>.<digits>-<digits>.new", an optional "-" before the first.
  static bool isNumberedWorkName(std::string_view name);

 private:
  std::string path_;
  std::string work_;
  bool committed_ = false;
};

}  // namespace platform
