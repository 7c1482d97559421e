#pragma once

#include "platform/PrivilegedAction.h"

namespace platform {

// Runs privileged actions. Without a security manager there is nothing to
// check, so an action simply runs on the calling thread.
class AccessController {
 public:
  static void doPrivileged(PrivilegedAction& action) { action.run(); }
};

}  // namespace platform
