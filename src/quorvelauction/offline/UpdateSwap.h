#pragma once

#include <string>
#include <vector>

#include "platform/File.h"
#include "quorvelauction/common/OfflineFile.h"

namespace quorvelauction::offline {

// Moves verified ".update" work files into place, then the new list. Each
// old file waits under ".backup" until every file is in place, so a move
// that fails can be undone: the files already moved are put back, the old
// list stays, and the swap fails. A ".backup" that is already there may be
// the only old copy of a file: the swap fails rather than replace it.
class UpdateSwap {
 public:
  UpdateSwap(std::string folder, std::vector<std::string> names);

  // Flushes the work files to disk, then swaps. Raises IOException.
  void run();

  // Puts right what a swap that was killed left in folder, for the files that
  // the installed list or the new list ("filelist.txt.update") name: a
  // ".backup" whose file is missing goes back into place; one whose file is
  // in place and matches its entry is removed. Other ".backup" files stay.
  // Runs at start-up, before any installed file is read, and before every
  // update; raises nothing: a file that cannot be read is left as it is.
  static void recover(const std::string& folder);

 private:
  struct Moved {
    platform::File target;
    bool hadOld;
  };

  // The entries of a list for recover: nothing when the list is missing or
  // cannot be read, no name that leads out of the folder.
  static std::vector<common::OfflineFile> listed(const std::string& path);
  static void putRight(const std::string& folder, const common::OfflineFile& entry);

  void moveIn(const std::string& name);
  void rollBack();
  void fail(const std::string& message);

  std::string folder_;
  std::vector<std::string> names_;
  std::vector<Moved> moved_;
};

}  // namespace quorvelauction::offline
