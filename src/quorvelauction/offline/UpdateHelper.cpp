#include "quorvelauction/offline/UpdateHelper.h"

#include <map>

#include "platform/Exceptions.h"
#include "platform/System.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/UpdateList.h"
#include "quorvelauction/offline/UpdateSwap.h"

namespace quorvelauction::offline {

using common::OfflineFile;
using platform::System;

namespace {
const char kList[] = "filelist.txt";
const char kListUpdate[] = "filelist.txt.update";
const char kFailed[] = "update failed";
}  // namespace

bool UpdateHelper::isUpdate2() { return platform::File(Server::programPath + "update2.txt").exists(); }

std::string UpdateHelper::command(const char* base) {
  return std::string(base) + (isUpdate2() ? "2" : "");
}

OfflineFile UpdateHelper::description(const std::string& host, const std::string& sessionId) {
  return OnlineCommunication::getOfflineFilelistInfo(command("getOfflineFilelistInfo"), host, sessionId);
}

bool UpdateHelper::differs(const OfflineFile& description, const platform::File& list) {
  if (description.size == 0) return false;  // the service offers no update
  if (!list.exists()) return true;
  if (list.length() != static_cast<int64_t>(description.size)) return true;
  return OfflineFile::checksumOf(list) != description.checksum;
}

bool UpdateHelper::needsUpdate(const std::string& folder, const std::string& host,
                               const std::string& sessionId) {
  return differs(description(host, sessionId), platform::File(folder + kList));
}

bool UpdateHelper::downloadOk(const std::string& folder, const std::vector<std::string>& names,
                              const std::vector<OfflineFile>& entries) {
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string path = folder + names[i];
    if (entries[i].needsUpdate(platform::File(path + ".update"))) {
      System::out().println("download failed: " + path);
      return false;
    }
  }
  return true;
}

void UpdateHelper::downloadList(const std::string& folder, const std::string& host,
                                const std::string& sessionId, const OfflineFile& description) {
  // The list is checked against the service's own description of it, so a
  // damaged list never decides what is fetched or installed.
  const OfflineFile expected(kList, description.size, description.checksum);
  for (int attempt = 0; attempt < 2; ++attempt) {
    OnlineCommunication::downloadOfflineFiles(command("downloadOfflineFiles"), folder, host,
                                              sessionId, {kList});
    if (downloadOk(folder, {kList}, {expected})) return;
  }
  platform::File(folder + kListUpdate).remove();
  System::out().println("second download failed");
  throw platform::Exception(kFailed);
}

UpdateHelper::Schedule UpdateHelper::schedule(const std::string& folder, const std::string& host,
                                              const std::string& sessionId,
                                              const OfflineFile& listed) {
  std::map<std::string, OfflineFile> local;
  if (platform::File(folder + kList).exists()) {
    // Its names only ever meet the new list's names; they reach no path.
    for (UpdateList::Entry& e : UpdateList::read(folder + kList, false))
      local.insert_or_assign(e.file.name, e.file);
  }
  System::out().println("doUpdate: localFile HashMap ready");
  downloadList(folder, host, sessionId, listed);
  // Every name is checked before the first folder is made.
  std::vector<UpdateList::Entry> entries = UpdateList::read(folder + kListUpdate, true);
  Schedule work;
  for (UpdateList::Entry& e : entries) {
    auto known = local.find(e.file.name);
    if (known != local.end() && known->second.checksum == e.file.checksum &&
        known->second.size == e.file.size)
      continue;
    if (!e.file.update(work.names, folder, host, sessionId)) continue;
    Server::transferStatusSum += e.file.size;
    work.listed.push_back(e.listed);
    work.entries.push_back(e.file);
  }
  return work;
}

void UpdateHelper::downloadFiles(const std::string& folder, const std::string& host,
                                 const std::string& sessionId, const Schedule& work) {
  OnlineCommunication::downloadOfflineFiles(command("downloadOfflineFiles"), folder, host,
                                            sessionId, work.listed, work.names);
}

void UpdateHelper::doUpdate(const std::string& folder, const std::string& host,
                            const std::string& sessionId) {
  Server::transferStatusSent = 0;
  Server::transferStatusSum = 0;
  System::out().println("doUpdate start, filelist: " + platform::File(folder + kList).getAbsolutePath());
  // Before anything looks at the files: a killed run may have left one of
  // them missing, its old version under ".backup".
  UpdateSwap::recover(folder);
  const OfflineFile listed = description(host, sessionId);
  if (!differs(listed, platform::File(folder + kList))) return;
  System::out().println("doUpdate: needsUpdate");
  Schedule work = schedule(folder, host, sessionId, listed);
  downloadFiles(folder, host, sessionId, work);
  if (!downloadOk(folder, work.names, work.entries)) {
    downloadFiles(folder, host, sessionId, work);
    if (!downloadOk(folder, work.names, work.entries)) {
      for (const std::string& name : work.names) platform::File(folder + name + ".update").remove();
      System::out().println("second download failed");
      throw platform::Exception(kFailed);
    }
  }
  UpdateSwap(folder, work.names).run();
}

}  // namespace quorvelauction::offline
