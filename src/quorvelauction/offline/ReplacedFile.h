#pragma once

#include <functional>
#include <string>

#include "platform/OutputStream.h"

namespace quorvelauction::offline {

// Replaces a data file whole: the content goes to a temporary file in the same folder
// (through the file-stream factory, under a name the storage rule treats like the file
// itself), which is flushed to disk and renamed over the file. A failure leaves the old
// file and no temporary one; two replacements at once leave one of them whole.
class ReplacedFile {
 public:
  static void write(const std::string& path,
                    const std::function<void(platform::OutputStream& out)>& fill);

 private:
  ReplacedFile() = delete;
};

}  // namespace quorvelauction::offline
