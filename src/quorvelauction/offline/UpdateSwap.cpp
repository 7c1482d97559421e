#include "quorvelauction/offline/UpdateSwap.h"

#include <utility>

#include "platform/Exceptions.h"
#include "quorvelauction/offline/UpdateList.h"

namespace quorvelauction::offline {

using common::OfflineFile;

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
  // Every new file is in place and listed: no old copy is needed any more,
  // also not one that an earlier, interrupted swap left beside a missing file.
  for (const Moved& m : moved_) {
    platform::File backup(m.target.getPath() + ".backup");
    if (m.hadOld || backup.isFile()) backup.remove();
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

void UpdateSwap::recover(const std::string& folder) {
  // A killed swap leaves its files named in one of the two lists: the new
  // one until it replaces the installed one, the installed one after.
  for (const char* list : {kList, kListUpdate}) {
    for (const OfflineFile& entry : listed(folder + list)) {
      // A file that cannot be read is left as it is; the others are still put right.
      try {
        putRight(folder, entry);
      } catch (const platform::Exception& e) {
        platform::printStackTrace(e);
      }
    }
  }
}

std::vector<OfflineFile> UpdateSwap::listed(const std::string& path) {
  std::vector<OfflineFile> entries;
  if (!platform::File(path).isFile()) return entries;
  try {
    for (UpdateList::Entry& e : UpdateList::read(path, false)) {
      if (UpdateList::staysInside(e.listed)) entries.push_back(std::move(e.file));
    }
  } catch (const platform::Exception&) {
    // A list that cannot be read vouches for no file; the run reports it
    // when it reads the list for its own work.
    entries.clear();
  }
  return entries;
}

void UpdateSwap::putRight(const std::string& folder, const OfflineFile& entry) {
  platform::File target(folder + entry.name);
  platform::File backup(target.getPath() + ".backup");
  if (!backup.isFile()) return;
  if (!target.exists()) {
    // Killed between the two moves of this file: the old version goes back.
    backup.renameTo(target);
  } else if (!entry.needsUpdate(target)) {
    // The listed version is in place: the old copy is no longer needed.
    backup.remove();
  }
}

}  // namespace quorvelauction::offline
