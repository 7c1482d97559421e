#pragma once

#include <string>
#include <vector>

#include "quorvelauction/common/OfflineFile.h"

namespace quorvelauction::offline {

// An update file list as read from disk. Lines written on Windows separate
// folders by "\\": each entry keeps its name as listed, for the service,
// and carries the same name with "/" as its local path below the folder.
class UpdateList {
 public:
  struct Entry {
    std::string listed;       // the name as the list gives it, sent on the wire
    common::OfflineFile file;  // its name is the local path, relative to the folder
  };

  // Reads path through the file stream factory: one entry per usable line;
  // a size or checksum that is no number fails. checked: every name must
  // stay inside the folder, or the whole reading fails before any entry is
  // used. "filelist.txt", which lists never hold, fails as well.
  static std::vector<Entry> read(const std::string& path, bool checked);

  // The local form of a listed name: "\\" becomes "/".
  static std::string localName(const std::string& listed);
  // True for a relative name of plain components: not empty, not absolute,
  // no drive letter, no empty, "." or ".." component.
  static bool staysInside(const std::string& listed);

 private:
  UpdateList() = delete;
};

}  // namespace quorvelauction::offline
