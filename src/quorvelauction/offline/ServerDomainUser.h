#pragma once

#include "quorvelauction/common/UserWrapper.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// The local answer to "whose session is this": there is one user, 1, and
// the domain is whatever the server's current domain is at the call.
class Server::DomainUser : public common::UserWrapper {
 public:
  explicit DomainUser(Server& server) : server_(server) {}
  int32_t getUserIdBySessionId(const std::string& sessionId) override;
  std::string getDomain(int32_t userId) override;
  std::string getDefaultDomain() override;

 private:
  Server& server_;
};

}  // namespace quorvelauction::offline
