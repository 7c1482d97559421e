#pragma once

#include <cstdint>
#include <string>

namespace quorvelauction::common {

// How the shared catalogue functions learn the user and the domain behind a
// session id.
class UserWrapper {
 public:
  virtual ~UserWrapper() = default;
  virtual int32_t getUserIdBySessionId(const std::string& sessionId) = 0;
  virtual std::string getDomain(int32_t userId) = 0;
  virtual std::string getDefaultDomain() = 0;
};

}  // namespace quorvelauction::common
