#pragma once

#include "quorvelauction/common/UserWrapper.h"

namespace quorvelauction::common {

// File loading below a base folder and the eBay category functions that the
// command handlers share. The server makes exactly one at start-up.
class CommonSOAPFunctions {
 public:
  // Keeps the callback (not owned; it outlives this object). Cannot fail.
  explicit CommonSOAPFunctions(UserWrapper& user);
  virtual ~CommonSOAPFunctions() = default;

 protected:
  UserWrapper& user;
};

}  // namespace quorvelauction::common
