#pragma once

#include <string>
#include <vector>

namespace platform {

// The frames of the calling thread as the C library's backtrace gives them.
class StackTrace {
 public:
  // One text per frame, innermost first, the caller's own frame included
  // unless skipped; function names demangled where the symbol is known.
  static std::vector<std::string> current(int skip = 0);
};

}  // namespace platform
