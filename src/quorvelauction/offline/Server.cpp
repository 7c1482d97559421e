#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

std::string Server::programPath;

}  // namespace quorvelauction::offline
