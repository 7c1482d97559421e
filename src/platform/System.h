#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/PrintStream.h"

namespace platform {

// The process-wide standard streams and clock. The streams can be replaced
// (the log file at start-up, a capture in tests); a replaced stream stays
// alive for the life of the process, as other threads may still hold it.
class System {
 public:
  static PrintStream& out();
  static PrintStream& err();
  static void setOut(std::shared_ptr<PrintStream> stream);
  static void setErr(std::shared_ptr<PrintStream> stream);

  static int64_t currentTimeMillis();
  // Ends the process after flushing the standard streams.
  [[noreturn]] static void exit(int status);
};

}  // namespace platform
