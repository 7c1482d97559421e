// The video copy: the files of a video the online service holds, downloaded into the images
// folder under a new image number.

#include <optional>
#include <set>
#include <string>
#include <vector>

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

// A half-copied video would be listed as a picture at the next start: the files this copy
// wrote go again, by their names. Others may write pictures meanwhile, also under numbers
// that begin with this copy's; a file that was there before the copy began stays.
void removeCopy(const std::string& folder, const std::vector<std::string>& written,
                const std::set<std::string>& before) {
  for (const std::string& path : written) {
    if (before.count(path.substr(folder.size())) == 0) platform::File(path).remove();
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
  std::vector<std::string> written;
  try {
    OnlineCommunication::downloadVideo(folder, host.get().value_or(""), serverSessionId.get(), *directory,
                                       reserved->id(), &written);
  } catch (...) {
    removeCopy(folder, written, before);
    throw;
  }
  return prefix;
}

}  // namespace quorvelauction::offline
