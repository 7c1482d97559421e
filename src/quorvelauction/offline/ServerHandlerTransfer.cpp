// The commands that reach the online service's transfer servlet: the update
// check and the front end's log records.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Date.h"
#include "platform/File.h"
#include "platform/System.h"
#include "quorvelauction/common/OfflineFile.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "zentravilo/util/DayDate.h"

namespace quorvelauction::offline {

namespace {

// The store document is refreshed once a calendar day (a new one begins at 22:00 UTC).
int32_t dayOf(int64_t millis) {
  return zentravilo::util::DayDate(platform::Date(millis)).getChronologicalJulianDay();
}

}  // namespace

std::string Server::Handler::onOfflineNeedsUpdate(Properties&) {
  platform::File dontUpdate(programPath + "dont_update.txt");
  platform::System::out().println("testing for " + dontUpdate.getAbsolutePath());
  if (dontUpdate.exists()) {
    platform::System::out().println("dont_update.txt exists");
    return "0";
  }
  loginToOnlineServer();
  const char* command = platform::File(programPath + "update2.txt").exists()
                            ? "getOfflineFilelistInfo2"
                            : "getOfflineFilelistInfo";
  common::OfflineFile entry = OnlineCommunication::getOfflineFilelistInfo(
      command, host.get().value_or(""), serverSessionId.get());
  bool due = entry.size != 0 && entry.needsUpdate(platform::File(programPath + "filelist.txt"));
  platform::System::out().println(std::string("needsUpdate result: ") + (due ? "true" : "false"));
  platform::File store(userPath + "store.xml");
  if (!store.exists() ||
      dayOf(store.lastModified()) != dayOf(platform::System::currentTimeMillis())) {
    updateStore();
  }
  return due ? "1" : "0";
}

std::string Server::Handler::onOfflineLog(Properties& props) {
  std::optional<std::string> type = props.getProperty("logType");
  std::optional<std::string> text = props.getProperty("info1");
  // A record without its type or text cannot be framed; it is not sent.
  if (type && text) Server::log(*type, *text);
  return "ok";
}

}  // namespace quorvelauction::offline
