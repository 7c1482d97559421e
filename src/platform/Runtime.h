#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// Starting other programs from one command string.
class Runtime {
 public:
  // Starts the program of a command string split into words at white space;
  // its standard streams go to /dev/null, since nobody reads them (a pipe
  // left unread would stall the program once full). Fails with
  // IOException("Cannot run program ...") when it cannot start.
  static pid_t exec(const std::string& command);

  // Waits for a started program to end; its exit status, or -1.
  static int waitFor(pid_t pid);

  // Starts the program without waiting; a thread of its own collects its end
  // so that no finished child stays behind.
  static void execDetached(const std::string& command);
};

}  // namespace platform
