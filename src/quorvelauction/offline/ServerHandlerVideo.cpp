// The video copy: the files of a video the online service holds, downloaded into the images
// folder under a new image number.

#include <optional>
#include <set>
#include <string>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

namespace {

std::set<std::string> namesIn(const std::string& folder) {
  std::optional<std::vector<std::string>> names = platform::File(folder).list();
  if (!names) throw platform::IOException("cannot list the folder " + folder);
  return {names->begin(), names->end()};
}

// A half-copied video would be listed as a picture at the next start: the files of this
// copy (new since it began, named after its number) go again.
void removeCopy(const std::string& folder, const std::string& prefix, const std::set<std::string>& before) {
  std::optional<std::vector<std::string>> names = platform::File(folder).list();
  if (!names) return;
  for (const std::string& name : *names) {
    if (name.rfind(prefix, 0) == 0 && before.count(name) == 0) platform::File(folder + name).remove();
  }
}

}  // namespace

std::string Server::Handler::onCopyVideo(Properties& props) {
  if (!isOnline()) return "error:not_online";
  const std::string login = loginToOnlineServer();
  if (login.find("error") != std::string::npos) return login;
  const std::optional<std::string> directory = props.getProperty("directoryName");
  if (!directory) throw platform::NullPointerException("directoryName is missing");
  const std::string folder = common::GlobalConfig::getUserPath() + "images/";
  std::optional<NumberReservation> reserved = createImageId();
  if (!reserved) return "error:no_free_id";
  const std::string prefix = std::to_string(reserved->id());
  const std::set<std::string> before = namesIn(folder);
  try {
    OnlineCommunication::downloadVideo(folder, host.get().value_or(""), serverSessionId.get(), *directory,
                                       reserved->id());
  } catch (...) {
    removeCopy(folder, prefix, before);
    throw;
  }
  return prefix;
}

}  // namespace quorvelauction::offline
