#include "platform/Runtime.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"

extern char** environ;

namespace platform {
namespace {

std::vector<std::string> words(const std::string& command) {
  std::vector<std::string> out;
  for (size_t at = 0; at < command.size();) {
    size_t start = command.find_first_not_of(" \t\n\r\f", at);
    if (start == std::string::npos) break;
    size_t end = command.find_first_of(" \t\n\r\f", start);
    if (end == std::string::npos) end = command.size();
    out.push_back(command.substr(start, end - start));
    at = end;
  }
  return out;
}

}  // namespace

pid_t Runtime::exec(const std::string& command) {
  std::vector<std::string> args = words(command);
  if (args.empty()) throw IllegalArgumentException("Empty command");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    throw IOException("Cannot run program \"" + args[0] + "\": error=" + std::to_string(rc) + ", " +
                      std::strerror(rc));
  return pid;
}

int Runtime::waitFor(pid_t pid) {
  int status;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Runtime::execDetached(const std::string& command) {
  pid_t pid = exec(command);
  std::thread([pid] { waitFor(pid); }).detach();
}

}  // namespace platform
