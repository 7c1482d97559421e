#include "quorvelauction/offline/ReplacedFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

#include "platform/BufferedOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::offline {

namespace {

std::atomic<uint64_t> counter{0};

void syncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void ReplacedFile::write(const std::string& path,
                         const std::function<void(platform::OutputStream& out)>& fill) {
  // Digits and ".tmp" add none of the words the storage rule looks for.
  const std::string temporary = path + "." + std::to_string(::getpid()) + "-" +
                                std::to_string(counter.fetch_add(1)) + ".tmp";
  try {
    platform::BufferedOutputStream out(common::GlobalConfig::createFileOutputStream(temporary));
    try {
      fill(out);
    } catch (...) {
      out.close();
      throw;
    }
    out.close();
    syncFile(temporary);
    if (!platform::File(temporary).renameTo(platform::File(path))) {
      throw platform::IOException("cannot replace " + path);
    }
  } catch (...) {
    platform::File(temporary).remove();
    throw;
  }
}

}  // namespace quorvelauction::offline
