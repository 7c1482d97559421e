#include "support/ServletPeer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace testsupport {

namespace {

void writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) throw std::runtime_error("servlet peer: write failed");
    done += static_cast<size_t>(n);
  }
}

std::string readExactly(int fd, size_t count) {
  std::string bytes(count, '\0');
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, bytes.data() + done, count - done);
    if (n <= 0) throw std::runtime_error("servlet peer: the program ended");
    done += static_cast<size_t>(n);
  }
  return bytes;
}

std::string bigEndian(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

}  // namespace

ServletPeer::ServletPeer() {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) throw std::runtime_error("servlet peer: no pipes");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
  std::string classes = std::string(QA_BINARY_DIR) + "/java";
  const char* argv[] = {"java", "-Xshare:auto", "-cp", classes.c_str(), "ServletPeer", nullptr};
  int rc = posix_spawnp(&pid_, "java", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  toPeer_ = in[1];
  fromPeer_ = out[0];
  if (rc != 0) throw std::runtime_error("servlet peer: cannot start java");
}

ServletPeer::~ServletPeer() {
  ::close(toPeer_);  // the program ends at the end of its input
  ::close(fromPeer_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

std::string ServletPeer::exchange(const std::string& body) {
  std::lock_guard<std::mutex> guard(mutex_);
  writeAll(toPeer_, bigEndian(static_cast<uint32_t>(body.size())) + body);
  std::string length = readExactly(fromPeer_, 4);
  uint32_t n = (static_cast<uint32_t>(static_cast<unsigned char>(length[0])) << 24) |
               (static_cast<unsigned char>(length[1]) << 16) |
               (static_cast<unsigned char>(length[2]) << 8) | static_cast<unsigned char>(length[3]);
  return readExactly(fromPeer_, n);
}

OnlineService::HttpHandler ServletPeer::handler() {
  return [this](const OnlineService::HttpRequest& request) {
    OnlineService::HttpReply reply;
    reply.body = exchange(request.body);
    return reply;
  };
}

}  // namespace testsupport
