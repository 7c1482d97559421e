#pragma once

namespace platform {

// An action run with the privileges of the code that defines it (see
// AccessController). This process has no security manager, so the
// privileges are those of the process.
class PrivilegedAction {
 public:
  virtual ~PrivilegedAction() = default;
  virtual void run() = 0;
};

}  // namespace platform
