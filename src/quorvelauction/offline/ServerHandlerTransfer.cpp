// The commands that reach the online service's transfer servlet.

#include <optional>
#include <string>

#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

std::string Server::Handler::onOfflineLog(Properties& props) {
  std::optional<std::string> type = props.getProperty("logType");
  std::optional<std::string> text = props.getProperty("info1");
  // A record without its type or text cannot be framed; it is not sent.
  if (type && text) Server::log(*type, *text);
  return "ok";
}

}  // namespace quorvelauction::offline
