// The self-update run; the check whether it is due lives with the other transfer
// commands.

#include <exception>
#include <mutex>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/TransferRun.h"
#include "quorvelauction/offline/UpdateHelper.h"

namespace quorvelauction::offline {

namespace {

// One run at a time: a second request waits and then finds the files current.
std::mutex updateRun;

std::string messageOf(const std::exception& e) {
  const std::string message = e.what();
  return message.empty() ? "null" : message;
}

}  // namespace

std::string Server::Handler::update() {
  std::lock_guard<std::mutex> run(updateRun);
  // A submission in progress owns the transfer counters.
  std::unique_lock<std::mutex> transfer = TransferRun::tryStart();
  if (!transfer.owns_lock()) return TransferRun::BUSY;
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

std::string Server::Handler::onOfflineUpdate(Properties&) { return update(); }

}  // namespace quorvelauction::offline
