// The self-update commands: the check whether the installed files are behind the online
// service's, and the update run itself.

#include <exception>
#include <mutex>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/System.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/UpdateHelper.h"

namespace quorvelauction::offline {

using platform::System;

namespace {

// One run at a time: a second request waits and then finds the files current.
std::mutex updateRun;

// Day numbers change at 22:00 UTC, as the front end counts days.
int64_t dayNumber(int64_t millis) { return (millis + 210866724000000LL) / 86400000LL; }

bool storeIsStale(const platform::File& store) {
  if (!store.exists()) return true;
  return dayNumber(store.lastModified()) != dayNumber(System::currentTimeMillis());
}

std::string messageOf(const std::exception& e) {
  const std::string message = e.what();
  return message.empty() ? "null" : message;
}

}  // namespace

std::string Server::Handler::update() {
  std::lock_guard<std::mutex> run(updateRun);
  try {
    const std::string login = loginToOnlineServer();
    if (login.find("error") != std::string::npos) return login;
    if (!platform::File(programPath + "dont_update.txt").exists())
      UpdateHelper::doUpdate(programPath, host.get().value_or(""), serverSessionId.get());
    return "ok";
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return "error:" + messageOf(e);
  }
}

std::string Server::Handler::onOfflineNeedsUpdate(Properties&) {
  const platform::File marker(programPath + "dont_update.txt");
  System::out().println("testing for " + marker.getAbsolutePath());
  if (marker.exists()) {
    System::out().println("dont_update.txt exists");
    return "0";
  }
  loginToOnlineServer();
  const bool second = platform::File(programPath + "update2.txt").exists();
  const common::OfflineFile entry = OnlineCommunication::getOfflineFilelistInfo(
      second ? "getOfflineFilelistInfo2" : "getOfflineFilelistInfo", host.get().value_or(""),
      serverSessionId.get());
  const bool due = entry.size != 0 && entry.needsUpdate(platform::File(programPath + "filelist.txt"));
  System::out().println(std::string("needsUpdate result: ") + (due ? "true" : "false"));
  if (storeIsStale(platform::File(userPath + "store.xml"))) updateStore();
  return due ? "1" : "0";
}

}  // namespace quorvelauction::offline
