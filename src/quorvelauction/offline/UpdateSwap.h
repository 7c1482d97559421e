#pragma once

#include <string>
#include <vector>

#include "platform/File.h"

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

 private:
  struct Moved {
    platform::File target;
    bool hadOld;
  };

  void moveIn(const std::string& name);
  void rollBack();
  void fail(const std::string& message);

  std::string folder_;
  std::vector<std::string> names_;
  std::vector<Moved> moved_;
};

}  // namespace quorvelauction::offline
