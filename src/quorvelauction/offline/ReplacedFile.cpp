#include "quorvelauction/offline/ReplacedFile.h"

#include "platform/BufferedOutputStream.h"
#include "platform/FileReplacement.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::offline {

void ReplacedFile::write(const std::string& path,
                         const std::function<void(platform::OutputStream& out)>& fill) {
  // The work file's digits and ".new" add none of the words the storage rule
  // looks for, so it is scrambled exactly as the file it replaces.
  platform::FileReplacement replacement(path);
  {
    platform::BufferedOutputStream out(
        common::GlobalConfig::createFileOutputStream(replacement.workPath()));
    try {
      fill(out);
    } catch (...) {
      out.close();
      throw;
    }
    out.close();
  }
  replacement.commit();
}

}  // namespace quorvelauction::offline
