#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

// A port that was free a moment ago.
int freePort();

// One reply as the server framed it.
struct Reply {
  std::string status;                                        // "200 Ok"
  std::vector<std::pair<std::string, std::string>> headers;  // in order
  std::string head;                                          // every byte up to the empty line
  std::string body;                                          // Content-Length bytes, if announced
  std::optional<std::string> header(std::string_view name) const;
};

// A client connection to the loopback server. Reads wait at most half a
// minute, so a server that never answers fails the test instead of hanging.
class Connection {
 public:
  explicit Connection(int port);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void send(std::string_view bytes);
  // Ends our side: the server reads the end of the stream.
  void shutdownWrite();
  // Reads a status block, header lines, the empty line and the announced body.
  Reply readReply();
  // The same without the body, which stays unread.
  Reply readHead();
  std::string readExactly(size_t count);
  // Everything until the server closes the connection.
  std::string readToEnd();
  // The same, but failing when the server keeps the connection open for
  // the whole wait.
  std::string readUntilClosed();
  // True when the server closed the connection (and sent nothing more).
  bool closedByPeer();

 private:
  std::string readLine();
  // Pending and further bytes until the server closes; a read that times
  // out ends them too, or fails when silenceFails.
  std::string receiveRest(bool silenceFails);
  int fd_;
  std::string pending_;
};

// GET target on a fresh connection.
Reply get(int port, const std::string& target);

// The server in a process of its own (tests/fakes/local_server.cpp), started
// in a folder with the session id, service time-outs and body budget this
// process set. Killed when the object goes unless it ended before.
class ServerProcess {
 public:
  // port 0 picks a free one.
  explicit ServerProcess(const std::string& folder,
                         const std::optional<std::string>& argument = {}, int port = 0);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // False when the process ended before it accepted a connection.
  bool running() const { return !ended_; }
  // Waits until the process ends; its exit status, or -1 when it was killed.
  int waitForExit();
  // What the process printed (standard output and error).
  std::string output() const;

 private:
  std::string folder_;
  int port_;
  pid_t pid_;
  bool ended_ = false;
  int status_ = 0;
};

// Form encoding of a text's UTF-8 bytes (letters, digits and ".-*_" stay, a
// blank becomes "+") and its reverse, as a browser sends form values.
std::string formEncode(const std::string& text);
std::string formDecode(const std::string& text);

}  // namespace e2e
