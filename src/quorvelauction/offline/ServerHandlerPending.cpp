// Commands whose handlers come with their own command families. Until a
// family is in place its commands answer as unknown ones; replace a
// definition here by the real handler in the family's own file.

#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

namespace {
const char kPending[] = "error:unknown function";
}  // namespace

std::string Server::Handler::onAuctionSubmitList(Properties&, int32_t) { return kPending; }

std::string Server::Handler::onAuctionVerify(Properties&) { return kPending; }

}  // namespace quorvelauction::offline
