#include "quorvelauction/offline/ServerDomainUser.h"

namespace quorvelauction::offline {

int32_t Server::DomainUser::getUserIdBySessionId(const std::string&) { return 1; }

std::string Server::DomainUser::getDomain(int32_t) { return server_.domain.get(); }

std::string Server::DomainUser::getDefaultDomain() { return server_.domain.get(); }

}  // namespace quorvelauction::offline
