#pragma once

#include <optional>
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
  // stay inside the folder and name a path of its own, or the whole reading
  // fails before any entry is used. Refused as well: "filelist.txt", which
  // lists never hold, the names of the list's work files, and a name that
  // is a folder in the list's own folder, which the swap would move aside
  // with all it holds.
  static std::vector<Entry> read(const std::string& path, bool checked);

  // The local form of a listed name: "\\" becomes "/".
  static std::string localName(const std::string& listed);
  // True for a relative name of plain components: not empty, not absolute,
  // no drive letter, no empty, "." or ".." component.
  static bool staysInside(const std::string& listed);

 private:
  UpdateList() = delete;

  // The listed name of the first entry whose local path another entry also
  // reaches: the same path twice, the folder of another entry, or another
  // entry's path + ".update" or ".backup". The swap would move one onto the
  // other and lose the only old copy of a file.
  static std::optional<std::string> collision(const std::vector<Entry>& entries);
  // The listed name of the first entry whose path below folder is a folder.
  static std::optional<std::string> folderOnDisk(const std::vector<Entry>& entries, const std::string& folder);
  static bool isListFile(const std::string& name);
  [[noreturn]] static void refuse(const std::string& listed);
};

}  // namespace quorvelauction::offline
