#pragma once

#include <functional>
#include <string>

#include "platform/OutputStream.h"

namespace quorvelauction::offline {

// Replaces a data file whole: the content goes to a work file in the same folder
// (through the file-stream factory, under a name the storage rule treats like the file
// itself), which is synced to disk and renamed over the file, then the folder is synced.
// A failure, a failed sync included, leaves the old file and no work file; two
// replacements at once leave one of them whole.
class ReplacedFile {
 public:
  static void write(const std::string& path,
                    const std::function<void(platform::OutputStream& out)>& fill);

 private:
  ReplacedFile() = delete;
};

}  // namespace quorvelauction::offline
