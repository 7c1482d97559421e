#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct evp_pkey_st;
struct ssl_ctx_st;
struct x509_st;

namespace testsupport {

// Plays the online service on a loopback address of its own (127.0.0.N, the first N whose ports
// 80 and 443 are both free), so parallel test runs never meet. Port 80 answers the reachability
// probe and hands other HTTP requests to a handler; port 443 speaks TLS with a self-signed
// certificate made at start and answers SOAP calls from a table. Every request is recorded in
// order. Each connection is served on its own thread.
class OnlineService {
 public:
  struct HttpRequest {
    std::string method, target;                                // "POST", "/app/communication"
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    std::string body;                                          // exactly Content-Length bytes
  };
  struct HttpReply {
    int status = 200;
    std::string contentType = "application/octet-stream";
    std::string body;
    std::optional<std::string> raw;  // when set: written as is instead of a formed reply, then close
    // When not 0: the reply goes out in pieces of this many bytes, and betweenPieces (when set)
    // runs after each piece but the last, holding back the rest, e.g. while a test watches the
    // client take in what came so far.
    size_t pieceBytes = 0;
    std::function<void()> betweenPieces = nullptr;
  };
  using HttpHandler = std::function<HttpReply(const HttpRequest&)>;

  // One SOAP call as received.
  struct SoapCall {
    std::string function;                                    // "" when the body was not a call
    std::vector<std::pair<std::string, std::string>> pairs;  // parameter name/value, in order
    std::string raw;                                         // the request bytes, header and body
  };

  // How a SOAP call is answered.
  struct SoapAnswer {
    enum class Kind { kReturn, kFault, kStatus, kClose, kSilence, kRaw };
    Kind kind = Kind::kReturn;
    std::string text;  // the return value, the fault code, the status body or the raw bytes
    int status = 200;
    bool closeNotify = true;  // false: the connection ends without the TLS close notice

    static SoapAnswer value(std::string text);            // a regular answer returning text
    static SoapAnswer fault(std::string code);            // status 500 and a SOAP fault
    static SoapAnswer httpStatus(int status, std::string body = "");
    static SoapAnswer close();                            // closes without any answer
    static SoapAnswer silence();                          // never answers, never closes
    static SoapAnswer raw(std::string bytes, bool closeNotify = true);
  };
  using SoapResponder = std::function<SoapAnswer(const SoapCall&)>;

  // How the probe on port 80 is met.
  enum class Probe { kAnswer, kClose, kSilence };

  // One entry of the request log: "probe", "soap:" + function, "http:" + method + " " + target.
  using Event = std::string;

  // Binds its address and starts serving.
  OnlineService();
  // Binds its address; serves from start() on. For a test that forks a server process
  // after choosing the address: a process with threads should not fork.
  struct Deferred {};
  explicit OnlineService(Deferred);
  void start();
  ~OnlineService();
  OnlineService(const OnlineService&) = delete;
  OnlineService& operator=(const OnlineService&) = delete;

  std::string host() const;  // "127.0.0.N": point "server.host"/Server::host here

  void setHttpHandler(HttpHandler handler);  // port-80 requests other than the probe; none: 404
  void setProbe(Probe probe);

  // The answer of the operation function; an operation without one answers a fault "Client".
  void answer(const std::string& function, SoapAnswer answer);
  void answer(const std::string& function, SoapResponder responder);

  std::vector<HttpRequest> httpRequests() const;  // every port-80 HTTP request so far, in order
  int probes() const;                             // probes answered so far
  std::vector<SoapCall> soapCalls() const;        // every SOAP call so far, in order
  std::vector<Event> events() const;              // probes, SOAP calls and HTTP requests in order
  void clearRecords();

  // The server's certificate (owned by the service).
  x509_st* certificate() const { return certificate_; }

 private:
  void acceptLoop();
  void serveHttp(int client);
  void serveSoap(int client);
  SoapAnswer answerFor(const SoapCall& call);
  void reapWorkers();
  void waitForStop() const;
  void record(Event event);

  evp_pkey_st* key_ = nullptr;
  x509_st* certificate_ = nullptr;
  ssl_ctx_st* context_ = nullptr;
  std::string host_;
  int httpListener_ = -1;
  int soapListener_ = -1;
  int stopPipe_[2] = {-1, -1};

  mutable std::mutex mutex_;
  HttpHandler httpHandler_;
  Probe probe_ = Probe::kAnswer;
  std::map<std::string, SoapResponder> answers_;
  std::vector<HttpRequest> httpRequests_;
  std::vector<SoapCall> soapCalls_;
  std::vector<Event> events_;
  int probes_ = 0;

  std::thread acceptor_;
  std::mutex workersMutex_;
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  std::vector<Worker> workers_;
};

}  // namespace testsupport
