// The auction check by the online service before a submission.

#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/SimpleSoap.h"

namespace quorvelauction::offline {

std::string Server::Handler::onAuctionVerify(Properties& props) {
  // The front end's text is stored first: it is kept even when the service
  // cannot be reached or refuses the login.
  onAuctionSave(props);
  if (!isOnline()) return "error:not_online";
  const std::string login = loginToOnlineServer();
  if (platform::Strings::contains(login, "error")) return login;
  const int32_t localId = platform::Integers::parseInt(*props.getProperty("auctionIdString"));
  const int32_t onlineId = createOrGetServerAuctionId(localId);
  // The answer means nothing to this system; the record's state stays.
  return SimpleSoap::soapFunction(host.get(), "auctionVerify",
                                  {{"sessionId", serverSessionId.get()},
                                   {"auctionIdString", std::to_string(onlineId)},
                                   {"xmlContent", props.getProperty("xmlContent")}});
}

}  // namespace quorvelauction::offline
