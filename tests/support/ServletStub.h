#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A loopback HTTP server on 127.0.0.1 and a free port that hands each
// request to a handler and records it. host() ("127.0.0.1:port") is passed
// where the system takes the service host.
class ServletStub {
 public:
  struct Request {
    std::string method, target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    std::optional<std::string> header(const std::string& name) const;
  };
  struct Reply {
    int status = 200;
    std::string body;
    std::optional<std::string> raw = std::nullopt;  // written as is, then the connection closes
    bool silent = false;                            // read the request, never answer
  };
  using Handler = std::function<Reply(const Request&)>;

  explicit ServletStub(Handler handler);
  ~ServletStub();
  ServletStub(const ServletStub&) = delete;
  ServletStub& operator=(const ServletStub&) = delete;

  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  std::vector<Request> requests() const;

 private:
  void acceptLoop();
  void serve(int fd);

  Handler handler_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<Request> requests_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

}  // namespace testsupport
