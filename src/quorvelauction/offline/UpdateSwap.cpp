#include "quorvelauction/offline/UpdateSwap.h"

#include <utility>

#include "platform/Exceptions.h"

namespace quorvelauction::offline {

namespace {
const char kList[] = "filelist.txt";
const char kListUpdate[] = "filelist.txt.update";
}  // namespace

UpdateSwap::UpdateSwap(std::string folder, std::vector<std::string> names)
    : folder_(std::move(folder)), names_(std::move(names)) {}

void UpdateSwap::run() {
  for (const std::string& name : names_) platform::File(folder_ + name + ".update").sync();
  platform::File(folder_ + kListUpdate).sync();
  for (const std::string& name : names_) moveIn(name);
  // One rename replaces the list whole; the old one is never missing.
  platform::File(folder_ + kList + ".backup").remove();
  if (!platform::File(folder_ + kListUpdate).renameTo(platform::File(folder_ + kList)))
    fail("cannot move the new file list into place");
  for (const Moved& m : moved_) {
    if (m.hadOld) platform::File(m.target.getPath() + ".backup").remove();
  }
}

void UpdateSwap::moveIn(const std::string& name) {
  platform::File target(folder_ + name);
  platform::File backup(target.getPath() + ".backup");
  platform::File update(target.getPath() + ".update");
  const bool hadOld = target.exists();
  if (hadOld && (backup.exists() || !target.renameTo(backup))) fail("cannot move aside " + target.getPath());
  if (!update.renameTo(target)) {
    if (hadOld) backup.renameTo(target);
    fail("cannot move into place " + target.getPath());
  }
  moved_.push_back({target, hadOld});
}

void UpdateSwap::rollBack() {
  for (auto it = moved_.rbegin(); it != moved_.rend(); ++it) {
    // The new file goes back to its work name, the old one back into place.
    it->target.renameTo(platform::File(it->target.getPath() + ".update"));
    if (it->hadOld) platform::File(it->target.getPath() + ".backup").renameTo(it->target);
  }
  moved_.clear();
}

void UpdateSwap::fail(const std::string& message) {
  rollBack();
  throw platform::IOException(message);
}

}  // namespace quorvelauction::offline
