#pragma once

#include <string>
#include <vector>

#include "platform/File.h"
#include "quorvelauction/common/OfflineFile.h"

namespace quorvelauction::offline {

// Brings the files below a folder in line with the online service's update
// file list: fetches the entries that differ into ".update" work files,
// verifies them (the whole download is tried once more when one is wrong)
// and only then swaps them and the new list in. Keeps no state.
class UpdateHelper {
 public:
  UpdateHelper() = delete;

  // One run; folder ends with the separator. It first puts right what a
  // killed run left (UpdateSwap::recover). Fails with the message of the
  // failed step, "update failed" after two bad downloads. A failure before
  // the swap leaves the installed files and list as they were; a failed
  // swap puts back what it had moved.
  static void doUpdate(const std::string& folder, const std::string& host,
                       const std::string& sessionId);
  // True when the service offers a list other than folder + "filelist.txt".
  static bool needsUpdate(const std::string& folder, const std::string& host,
                          const std::string& sessionId);
  // True when folder + names[i] + ".update" matches entries[i] for every i.
  static bool downloadOk(const std::string& folder, const std::vector<std::string>& names,
                         const std::vector<common::OfflineFile>& entries);

 private:
  struct Schedule {
    std::vector<std::string> listed;  // as sent to the service
    std::vector<std::string> names;   // local paths below the folder
    std::vector<common::OfflineFile> entries;
  };

  static bool isUpdate2();
  static std::string command(const char* base);
  static common::OfflineFile description(const std::string& host, const std::string& sessionId);
  static bool differs(const common::OfflineFile& description, const platform::File& list);
  static void downloadList(const std::string& folder, const std::string& host,
                           const std::string& sessionId, const common::OfflineFile& description);
  // Reads the local list, fetches and checks the new one, prepares the
  // files that differ.
  static Schedule schedule(const std::string& folder, const std::string& host,
                           const std::string& sessionId, const common::OfflineFile& listed);
  static void downloadFiles(const std::string& folder, const std::string& host,
                            const std::string& sessionId, const Schedule& work);
};

}  // namespace quorvelauction::offline
