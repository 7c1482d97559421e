#include "support/OnlineService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <stdexcept>

#include "xml/SAXReader.h"

namespace testsupport {

namespace {

constexpr const char* kEnvelopeNs = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr size_t kMaxRequest = 96 * 1024 * 1024;  // a 64 MiB transfer with its framing fits

X509* selfSigned(EVP_PKEY* key, const std::string& host) {
  X509* certificate = X509_new();
  X509_set_version(certificate, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), -60 * 60);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 60 * 60);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  if (X509_sign(certificate, key, EVP_sha256()) == 0) {
    X509_free(certificate);
    throw std::runtime_error("cannot sign certificate");
  }
  return certificate;
}

int listenOn(const std::string& host, int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string statusLine(int status) {
  return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Status") + "\r\n";
}

std::string soapEnvelope(const std::string& body) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope xmlns:soapenv=\"") +
         kEnvelopeNs +
         "\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>" +
         body + "</soapenv:Body></soapenv:Envelope>";
}

std::string xmlReply(int status, const std::string& xml) {
  return statusLine(status) + "Content-Type: text/xml; charset=utf-8\r\nContent-Length: " +
         std::to_string(xml.size()) + "\r\nConnection: close\r\n\r\n" + xml;
}

// The value of the header name (case-insensitive) in a header block, or "".
std::string headerValue(const std::string& head, const std::string& name) {
  size_t lineStart = 0;
  while (lineStart < head.size()) {
    size_t lineEnd = head.find("\r\n", lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    std::string line = head.substr(lineStart, lineEnd - lineStart);
    size_t colon = line.find(':');
    if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
      size_t start = line.find_first_not_of(' ', colon + 1);
      return start == std::string::npos ? "" : line.substr(start);
    }
    lineStart = lineEnd + 2;
  }
  return "";
}

// Reads from a plain or TLS connection; gives up (0) when the service stops.
class Reader {
 public:
  Reader(int fd, int stopFd, SSL* tls) : fd_(fd), stopFd_(stopFd), tls_(tls) {}

  // Appends up to one chunk to out; false at the end of the stream, an error or stop.
  bool readSome(std::string& out) {
    if (!tls_ || SSL_pending(tls_) == 0) {
      pollfd waits[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
      if (::poll(waits, 2, -1) <= 0 || waits[1].revents) return false;
    }
    char buffer[16384];
    int n = tls_ ? SSL_read(tls_, buffer, sizeof buffer)
                 : static_cast<int>(::recv(fd_, buffer, sizeof buffer, 0));
    if (n <= 0) return false;
    out.append(buffer, static_cast<size_t>(n));
    return out.size() <= kMaxRequest;
  }

  // Reads a header block and the Content-Length bytes after it; false when cut short.
  bool readRequest(std::string& data, size_t& headEnd) {
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
      if (!readSome(data)) return false;
    }
    std::string length = headerValue(data.substr(0, headEnd), "Content-Length");
    size_t want = length.empty() ? 0 : std::stoul(length);
    while (data.size() < headEnd + 4 + want) {
      if (!readSome(data)) return false;
    }
    return true;
  }

  void writeAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      int n = tls_ ? SSL_write(tls_, bytes.data() + done, static_cast<int>(bytes.size() - done))
                   : static_cast<int>(::send(fd_, bytes.data() + done, bytes.size() - done,
                                             MSG_NOSIGNAL));
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

 private:
  int fd_;
  int stopFd_;
  SSL* tls_;
};

OnlineService::SoapCall parseCall(const std::string& raw, size_t headEnd) {
  OnlineService::SoapCall call;
  call.raw = raw;
  // Through the system's own XML layer: it sets pugixml's allocator for the whole process,
  // so a document made here directly with pugixml could be freed by the wrong one.
  xml::Document document;
  try {
    document = xml::SAXReader().read(std::string_view(raw).substr(headEnd + 4));
  } catch (const std::exception&) {
    return call;
  }
  xml::Element root = document.getRootElement();
  std::vector<xml::Element> body = root ? root.elements() : std::vector<xml::Element>{};
  std::vector<xml::Element> operations = body.empty() ? body : body.front().elements();
  if (operations.empty()) return call;
  call.function = operations.front().getName();
  for (const xml::Element& pair : operations.front().elements()) {
    call.pairs.emplace_back(pair.getQualifiedName(), pair.getText());
  }
  return call;
}

std::string formedReply(const OnlineService::HttpReply& reply) {
  if (reply.raw) return *reply.raw;
  return statusLine(reply.status) + "Content-Type: " + reply.contentType +
         "\r\nContent-Length: " + std::to_string(reply.body.size()) +
         "\r\nConnection: close\r\n\r\n" + reply.body;
}

OnlineService::HttpRequest parseHttp(const std::string& data, size_t headEnd) {
  OnlineService::HttpRequest request;
  std::string head = data.substr(0, headEnd);
  size_t lineEnd = head.find("\r\n");
  std::string first = head.substr(0, lineEnd);
  size_t space = first.find(' ');
  request.method = first.substr(0, space);
  if (space != std::string::npos) {
    size_t second = first.find(' ', space + 1);
    request.target = first.substr(space + 1, second == std::string::npos ? std::string::npos
                                                                         : second - space - 1);
  }
  size_t lineStart = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
  while (lineStart < head.size()) {
    size_t end = head.find("\r\n", lineStart);
    if (end == std::string::npos) end = head.size();
    std::string line = head.substr(lineStart, end - lineStart);
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t start = line.find_first_not_of(' ', colon + 1);
      request.headers.emplace_back(line.substr(0, colon),
                                   start == std::string::npos ? "" : line.substr(start));
    }
    lineStart = end + 2;
  }
  request.body = data.substr(headEnd + 4);
  return request;
}

}  // namespace

OnlineService::SoapAnswer OnlineService::SoapAnswer::value(std::string text) {
  return {Kind::kReturn, std::move(text), 200, true};
}
OnlineService::SoapAnswer OnlineService::SoapAnswer::fault(std::string code) {
  return {Kind::kFault, std::move(code), 500, true};
}
OnlineService::SoapAnswer OnlineService::SoapAnswer::httpStatus(int status, std::string body) {
  return {Kind::kStatus, std::move(body), status, true};
}
OnlineService::SoapAnswer OnlineService::SoapAnswer::close() { return {Kind::kClose, "", 0, false}; }
OnlineService::SoapAnswer OnlineService::SoapAnswer::silence() {
  return {Kind::kSilence, "", 0, false};
}
OnlineService::SoapAnswer OnlineService::SoapAnswer::raw(std::string bytes, bool closeNotify) {
  return {Kind::kRaw, std::move(bytes), 0, closeNotify};
}

OnlineService::OnlineService() : OnlineService(Deferred{}) { start(); }

void OnlineService::start() {
  if (!acceptor_.joinable()) acceptor_ = std::thread([this] { acceptLoop(); });
}

OnlineService::OnlineService(Deferred) {
  // A client that gives up mid-answer must not kill the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  // Start where the process id points, so that parallel runs seldom try the same addresses.
  const int start = static_cast<int>(::getpid() % 200);
  for (int i = 0; i < 250 && host_.empty(); ++i) {
    std::string candidate = "127.0.0." + std::to_string(2 + (start + i) % 250);
    httpListener_ = listenOn(candidate, 80);
    if (httpListener_ < 0) continue;
    soapListener_ = listenOn(candidate, 443);
    if (soapListener_ < 0) {
      ::close(httpListener_);
      httpListener_ = -1;
      continue;
    }
    host_ = candidate;
  }
  if (host_.empty()) throw std::runtime_error("no loopback address with ports 80 and 443 free");
  key_ = EVP_EC_gen("P-256");
  if (!key_) throw std::runtime_error("cannot make key");
  certificate_ = selfSigned(key_, host_);
  context_ = SSL_CTX_new(TLS_server_method());
  if (!context_ || SSL_CTX_use_certificate(context_, certificate_) != 1 ||
      SSL_CTX_use_PrivateKey(context_, key_) != 1 || ::pipe(stopPipe_) != 0) {
    throw std::runtime_error("cannot set up the online service");
  }
}

OnlineService::~OnlineService() {
  [[maybe_unused]] ssize_t woken = ::write(stopPipe_[1], "x", 1);
  if (acceptor_.joinable()) acceptor_.join();
  for (Worker& worker : workers_) worker.thread.join();
  ::close(stopPipe_[0]);
  ::close(stopPipe_[1]);
  ::close(httpListener_);
  ::close(soapListener_);
  SSL_CTX_free(context_);
  X509_free(certificate_);
  EVP_PKEY_free(key_);
}

std::string OnlineService::host() const { return host_; }

void OnlineService::setHttpHandler(HttpHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  httpHandler_ = std::move(handler);
}

void OnlineService::setProbe(Probe probe) {
  std::lock_guard<std::mutex> lock(mutex_);
  probe_ = probe;
}

void OnlineService::answer(const std::string& function, SoapAnswer answer) {
  this->answer(function, SoapResponder([answer](const SoapCall&) { return answer; }));
}

void OnlineService::answer(const std::string& function, SoapResponder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[function] = std::move(responder);
}

std::vector<OnlineService::HttpRequest> OnlineService::httpRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return httpRequests_;
}

int OnlineService::probes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return probes_;
}

std::vector<OnlineService::SoapCall> OnlineService::soapCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return soapCalls_;
}

std::vector<OnlineService::Event> OnlineService::events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

void OnlineService::clearRecords() {
  std::lock_guard<std::mutex> lock(mutex_);
  httpRequests_.clear();
  soapCalls_.clear();
  events_.clear();
  probes_ = 0;
}

void OnlineService::acceptLoop() {
  for (;;) {
    pollfd waits[3] = {{httpListener_, POLLIN, 0}, {soapListener_, POLLIN, 0},
                       {stopPipe_[0], POLLIN, 0}};
    if (::poll(waits, 3, -1) < 0) continue;
    if (waits[2].revents) return;
    for (int i = 0; i < 2; ++i) {
      if (!waits[i].revents) continue;
      int client = ::accept4(waits[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      bool soap = i == 1;
      std::lock_guard<std::mutex> lock(workersMutex_);
      reapWorkers();
      auto done = std::make_shared<std::atomic<bool>>(false);
      workers_.push_back({std::thread([this, client, soap, done] {
                            // A malformed request or a failing handler ends only its connection.
                            try {
                              soap ? serveSoap(client) : serveHttp(client);
                            } catch (const std::exception&) {
                            }
                            ::close(client);
                            done->store(true);
                          }),
                          done});
    }
  }
}

void OnlineService::reapWorkers() {
  // Long runs (benchmarks) must not keep thousands of finished threads.
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done->load()) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void OnlineService::waitForStop() const {
  pollfd wait{stopPipe_[0], POLLIN, 0};
  while (::poll(&wait, 1, -1) <= 0) {
  }
}

void OnlineService::serveHttp(int client) {
  Reader reader(client, stopPipe_[0], nullptr);
  std::string data;
  size_t headEnd = 0;
  if (!reader.readRequest(data, headEnd)) return;
  if (data.compare(0, headEnd + 4, "GET /\r\n\r\n") == 0) {
    Probe probe;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++probes_;
      events_.push_back("probe");
      probe = probe_;
    }
    if (probe == Probe::kAnswer) reader.writeAll("HTTP/1.0 200 OK\r\n\r\n");
    if (probe == Probe::kSilence) waitForStop();
    return;
  }
  HttpRequest request = parseHttp(data, headEnd);
  HttpHandler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    httpRequests_.push_back(request);
    events_.push_back("http:" + request.method + " " + request.target);
    handler = httpHandler_;
  }
  HttpReply reply;
  if (handler) {
    reply = handler(request);
  } else {
    reply.status = 404;
    reply.contentType = "text/plain";
  }
  const std::string bytes = formedReply(reply);
  const size_t piece = reply.pieceBytes == 0 ? bytes.size() : reply.pieceBytes;
  for (size_t at = 0; at < bytes.size(); at += piece) {
    if (at > 0 && reply.betweenPieces) reply.betweenPieces();
    reader.writeAll(bytes.substr(at, piece));
  }
}

void OnlineService::serveSoap(int client) {
  // Bounds a handshake with a client that stops talking; not a timing being tested.
  timeval limit{10, 0};
  ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  SSL* session = SSL_new(context_);
  SSL_set_fd(session, client);
  if (SSL_accept(session) == 1) {
    Reader reader(client, stopPipe_[0], session);
    std::string data;
    size_t headEnd = 0;
    if (reader.readRequest(data, headEnd)) {
      SoapCall call = parseCall(data, headEnd);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        soapCalls_.push_back(call);
        events_.push_back("soap:" + call.function);
      }
      SoapAnswer answer = answerFor(call);
      switch (answer.kind) {
        case SoapAnswer::Kind::kReturn:
          reader.writeAll(xmlReply(200, soapEnvelope(
              "<ns1:" + call.function + "Response xmlns:ns1=\"QuorvelAuction\"><" + call.function +
              "Return xsi:type=\"xsd:string\">" + xmlEscape(answer.text) + "</" + call.function +
              "Return></ns1:" + call.function + "Response>")));
          break;
        case SoapAnswer::Kind::kFault:
          reader.writeAll(xmlReply(500, soapEnvelope(
              "<soapenv:Fault><faultcode>" + xmlEscape(answer.text) +
              "</faultcode><faultstring>stand-in fault</faultstring></soapenv:Fault>")));
          break;
        case SoapAnswer::Kind::kStatus:
          reader.writeAll(statusLine(answer.status) + "Content-Length: " +
                          std::to_string(answer.text.size()) + "\r\nConnection: close\r\n\r\n" +
                          answer.text);
          break;
        case SoapAnswer::Kind::kRaw:
          reader.writeAll(answer.text);
          break;
        case SoapAnswer::Kind::kSilence:
          waitForStop();
          break;
        case SoapAnswer::Kind::kClose:
          break;
      }
      if (answer.closeNotify) SSL_shutdown(session);
    }
  }
  ERR_clear_error();
  SSL_free(session);
}

OnlineService::SoapAnswer OnlineService::answerFor(const SoapCall& call) {
  SoapResponder responder;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = answers_.find(call.function);
    if (found != answers_.end()) responder = found->second;
  }
  return responder ? responder(call) : SoapAnswer::fault("Client");
}

}  // namespace testsupport
