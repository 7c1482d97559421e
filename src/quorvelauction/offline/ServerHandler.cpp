#include "quorvelauction/offline/ServerHandler.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <thread>
#include <vector>

#include "platform/BufferedOutputStream.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/CallMapper.h"
#include "xml/SAXReader.h"

namespace quorvelauction::offline {

using platform::Strings;
using platform::System;

// A request line, header line, header block or body beyond the bounds, or a
// body that would take the bodies held at once beyond theirs: refused with a
// 500 and the connection closed, before anything of that size is allocated.
class Server::Handler::TooLarge : public platform::IOException {
 public:
  explicit TooLarge(const std::string& message) : platform::IOException(message) {}
  const char* typeName() const override { return "IOException"; }
};

namespace {

constexpr const char* kOk = "200 Ok";
constexpr const char* kForbidden = "403 Forbidden";
constexpr const char* kNotFound = "404 file not found";
constexpr const char* kInternalError = "500 Internal Error";
constexpr const char* kNotImplemented = "501 Not implemented";
constexpr int kCopyBlock = 65536;
// A file goes out in pieces of this size: one read, one unscramble and one
// send each, so that a large file costs few system calls.
constexpr int kFileBlock = 1 << 20;

std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> result;
  size_t i = 0;
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; };
  while (i < line.size()) {
    while (i < line.size() && blank(line[i])) ++i;
    size_t start = i;
    while (i < line.size() && !blank(line[i])) ++i;
    if (i > start) result.push_back(line.substr(start, i - start));
  }
  return result;
}

// The property table of a query or form body: pieces at "&", each split at
// its first "="; keys as sent, values decoded. Each value is decoded straight
// from the text and taken over by the table, so that a large body is held
// twice at most while it is parsed.
platform::Properties parameters(std::string_view text) {
  platform::Properties props;
  // Empty pieces at the end are no pieces, as a split drops them.
  if (text.find('&') != std::string_view::npos) {
    while (!text.empty() && text.back() == '&') text.remove_suffix(1);
    if (text.empty()) return props;
  }
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find('&', start), text.size());
    const std::string_view piece = text.substr(start, end - start);
    size_t eq = piece.find('=');
    if (eq == std::string::npos) {
      props.setProperty("", "");
    } else {
      props.put(std::string(piece.substr(0, eq)), common::XMLUtils::unescape(piece.substr(eq + 1)));
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  return props;
}

std::string contentType(const std::string& path) {
  const std::string lower = Strings::toLowerCase(path);
  struct Type {
    const char* suffix;
    const char* type;
  };
  static const Type kTypes[] = {
      {".html", "text/html"},  {".htm", "text/html"},  {".swf", "application/x-shockwave-flash"},
      {".gif", "image/gif"},   {".jpg", "image/jpeg"}, {".jpeg", "image/jpeg"},
      {".png", "image/png"},   {".xml", "text/xml"},   {".pdf", "application/pdf"},
  };
  for (const Type& t : kTypes) {
    if (Strings::endsWith(lower, t.suffix)) return t.type;
  }
  return "text/plain";
}

std::string afterLast(const std::string& text, char c) {
  size_t at = text.rfind(c);
  return at == std::string::npos ? text : text.substr(at + 1);
}

// Tells every registered XML socket that the program is about to end.
void notifyXmlSockets() {
  static const char kText[] = "ExitRequested";
  auto sockets = Server::xmlSockets.get();
  for (auto& out : sockets) {
    try {
      out->write(kText, 0, sizeof kText);  // the text and its NUL byte
      out->flush();
    } catch (const std::exception&) {
      // A peer that has gone needs no notice.
    }
  }
}

// A reply without a body; the length tells a kept-alive client it is whole.
void statusOnly(std::string_view status, platform::OutputStream& out) {
  Server::Handler::respond(status, out);
  Server::Handler::header("Content-Length: 0", out);
  Server::Handler::header("", out);
}

// Keeps a registered policy or XML socket connection while its peer is
// there; once the peer has gone, its stream leaves the list, so that the
// connection can be released.
void holdUntilPeerCloses(platform::InputStream& in, const std::shared_ptr<platform::OutputStream>& stream) {
  try {
    while (in.read() >= 0) {
    }
  } catch (const std::exception&) {
    // A broken connection has gone as well.
  }
  Server::xmlSockets.with([&](auto& list) { std::erase(list, stream); });
}

}  // namespace

Server::Handler::Handler(Server& server, std::shared_ptr<platform::Socket> socket)
    : socket(std::move(socket)), server_(server) {}

Server::Handler::~Handler() = default;

void Server::Handler::start(std::unique_ptr<Handler> handler) {
  std::thread([h = std::move(handler)] { h->run(); }).detach();
}

namespace {

// Appends the byte as the character of the same code, 0 to 255, in UTF-8.
void appendCharacter(std::string& line, unsigned char b) {
  if (static_cast<int>(line.size()) >= Server::Handler::MAX_LINE) {
    throw Server::Handler::TooLarge("request line too long");
  }
  if (b < 0x80) {
    line.push_back(static_cast<char>(b));
  } else {
    line.push_back(static_cast<char>(0xC0 | (b >> 6)));
    line.push_back(static_cast<char>(0x80 | (b & 0x3F)));
  }
}

// Appends bytes below 0x80 unchanged; the limit holds as if they came one by one.
void appendPlain(std::string& line, std::string_view run) {
  if (run.empty()) return;
  if (line.size() + run.size() > static_cast<size_t>(Server::Handler::MAX_LINE)) {
    throw Server::Handler::TooLarge("request line too long");
  }
  line.append(run);
}

// Where the next CR or byte of 0x80 or more is at or after from, or the end.
size_t nextSpecial(std::string_view bytes, size_t from) {
  while (from < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[from]);
    if (b == '\r' || b >= 0x80) break;
    ++from;
  }
  return from;
}

}  // namespace

// The line is scanned in the stream's buffer: runs of plain bytes are copied
// at once, and only a CR or a byte of 0x80 or more is looked at on its own.
std::string Server::Handler::readLine(platform::BufferedInputStream& in) {
  std::string line;
  // A CR was the last byte of the previous block: the line ends if an LF
  // starts this one.
  bool cr = false;
  for (;;) {
    const std::string_view bytes = in.buffered();
    if (bytes.empty()) break;  // the end of the stream ends the line, a CR before it dropped
    size_t at = 0;
    if (cr) {
      cr = false;
      if (bytes[0] == '\n') {
        in.consume(1);
        break;
      }
      // The CR is dropped and the byte after it kept, even a second CR.
      appendCharacter(line, static_cast<unsigned char>(bytes[0]));
      at = 1;
    }
    while (at < bytes.size()) {
      const size_t special = nextSpecial(bytes, at);
      appendPlain(line, bytes.substr(at, special - at));
      at = special;
      if (at == bytes.size()) break;
      if (bytes[at] != '\r') {
        appendCharacter(line, static_cast<unsigned char>(bytes[at++]));
        continue;
      }
      if (at + 1 == bytes.size()) {
        cr = true;
        ++at;
        break;
      }
      if (bytes[at + 1] == '\n') {
        in.consume(static_cast<int>(at + 2));
        return line;
      }
      appendCharacter(line, static_cast<unsigned char>(bytes[at + 1]));
      at += 2;
    }
    in.consume(static_cast<int>(at));
  }
  return line;
}

std::string Server::Handler::httpDate(int64_t millis) {
  static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::time_t seconds = static_cast<std::time_t>(millis / 1000);
  // Replies within the same second share the text: formatted once per thread.
  thread_local std::time_t lastSeconds = -1;
  thread_local std::string lastText;
  if (seconds == lastSeconds && !lastText.empty()) return lastText;
  std::tm t{};
  gmtime_r(&seconds, &t);
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d", kDays[t.tm_wday], t.tm_mday,
                kMonths[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  lastSeconds = seconds;
  lastText = text;
  return lastText;
}

void Server::Handler::respond(std::string_view status, platform::OutputStream& out) {
  // Kept per thread: a reply costs no allocation for its status block.
  thread_local std::string block;
  block.clear();
  block.append("HTTP/1.1 ").append(status).append("\r\n");
  block.append("Expires: Mon, 26 Jul 1997 05:00:00 GMT\r\n");
  block.append("Last-Modified: ").append(httpDate(System::currentTimeMillis())).append(" GMT\r\n");
  block.append("Cache-Control: no-cache, must-revalidate\r\n");
  block.append("Pragma: no-cache\r\n");
  out.write(block);
}

void Server::Handler::header(std::string_view line, platform::OutputStream& out) {
  out.write(line);
  out.write("\r\n");
}

void Server::Handler::run() {
  inputStream = std::make_unique<platform::BufferedInputStream>(socket->getInputStream());
  // Replies are gathered and sent whole at the end of each request.
  platform::BufferedOutputStream out(socket->getOutputStream(), kCopyBlock);
  std::shared_ptr<platform::OutputStream> raw(socket, &socket->getOutputStream());
  try {
    for (;;) {
      const std::string line = readLine(*inputStream);
      if (Strings::startsWith(line, "<policy-file-request/>")) {
        System::out().println("<policy-file-request/> received");
        System::out().println(
            "sending this string, null terminated: <cross-domain-policy><site-control "
            "permitted-cross-domain-policies=\"master-only\"/><allow-access-from domain=\"*\" "
            "to-ports=\"*\"/></cross-domain-policy>");
        // Registered before the reply leaves, so that a peer holding the
        // reply is sure to hear of an exit.
        xmlSockets.with([&](auto& list) { list.push_back(raw); });
        sendPolicyFile(out);
        holdUntilPeerCloses(*inputStream, raw);
        break;
      }
      if (line == "xmlsocket") {
        xmlSockets.with([&](auto& list) { list.push_back(raw); });
        System::out().println("xml socket added");
        holdUntilPeerCloses(*inputStream, raw);
        break;
      }
      std::vector<std::string> parts = tokens(line);
      if (parts.size() < 2) {
        try {
          statusOnly(kInternalError, out);
          out.flush();
        } catch (const std::exception&) {
        }
        break;
      }
      readHeaders();
      if (!fromThisSite()) {
        // Nothing of the request is done; its body, if any, is not read.
        statusOnly(kForbidden, out);
        out.flush();
        break;
      }
      if (Strings::equalsIgnoreCase(parts[0], "GET")) {
        get(parts[1], out);
      } else if (Strings::equalsIgnoreCase(parts[0], "POST")) {
        post(parts[1], out);
      } else {
        statusOnly(kNotImplemented, out);
      }
      out.flush();
      if (closeAfterReply_) break;
    }
  } catch (const platform::SocketException&) {
    // The connection broke: nothing more can be said on it.
  } catch (const std::exception& e) {
    System::out().println("IOException");
    platform::printStackTrace(e);
    try {
      statusOnly(kInternalError, out);
      out.flush();
    } catch (const std::exception& e2) {
      System::out().println("IOException2");
      platform::printStackTrace(e2);
    }
  }
  try {
    out.close();
  } catch (const platform::SocketException&) {
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  socket->close();
}

ByteBudget& Server::Handler::bodyBudget() {
  static ByteBudget budget(MAX_BODIES);
  return budget;
}

void Server::Handler::readHeaders() {
  headers_ = RequestHeaders();
  int64_t block = 0;
  for (;;) {
    const std::string line = readLine(*inputStream);
    if (line.empty()) return;
    // Many short lines cost as much time as one long one: the whole block
    // is bounded as a line is.
    block += static_cast<int64_t>(line.size()) + 2;
    if (block > MAX_HEADERS) throw TooLarge("request header block too long");
    const std::string lower = Strings::toLowerCase(line);
    if (Strings::startsWith(lower, "content-length")) headers_.contentLength = line;
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Strings::trim(lower.substr(0, colon));
    const std::string value = Strings::trim(line.substr(colon + 1));
    if (name == "host") keepSecurityHeader(headers_.host, value);
    else if (name == "origin") keepSecurityHeader(headers_.origin, value);
    else if (name == "referer") keepSecurityHeader(headers_.referer, value);
    else if (name == "sec-fetch-site") keepSecurityHeader(headers_.fetchSite, value);
  }
}

void Server::Handler::keepSecurityHeader(std::optional<std::string>& slot, const std::string& value) {
  // Two copies could be judged by either one: the request is refused whole.
  if (slot) headers_.repeated = true;
  slot = value;
}

namespace {

// "localhost", "127.0.0.1" or "[::1]", any case, with an optional port;
// the port, 0 when none is given, goes to port.
bool loopbackAuthority(std::string_view authority, int& port) {
  std::string host = Strings::toLowerCase(authority);
  port = 0;
  size_t colon = host.rfind(':');
  if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
    const std::string digits = host.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return false;
    port = std::stoi(digits);
    host.erase(colon);
  }
  return host == "localhost" || host == "127.0.0.1" || host == "[::1]";
}

// Whether an Origin or Referer value names http on a loopback name and the
// given port.
bool sameOrigin(std::string_view address, int serverPort) {
  constexpr std::string_view kScheme = "http://";
  if (address.size() < kScheme.size() || Strings::toLowerCase(address.substr(0, kScheme.size())) != kScheme)
    return false;
  std::string_view rest = address.substr(kScheme.size());
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  int port;
  return loopbackAuthority(authority, port) && (port == 0 ? 80 : port) == serverPort;
}

// Sec-Fetch-Site values of a request of the page itself, or of the user
// (an address typed, a bookmark).
bool sentByItself(std::string_view fetchSite) {
  return Strings::equalsIgnoreCase(fetchSite, "same-origin") || Strings::equalsIgnoreCase(fetchSite, "none");
}

}  // namespace

bool Server::Handler::fromThisSite() const {
  if (headers_.repeated) return false;
  int port;
  if (headers_.host && !loopbackAuthority(*headers_.host, port)) return false;
  const bool named = headers_.origin || headers_.referer;
  // A browser marks what a page of another site sends, even a picture that
  // carries no Referer; another port of this host is "same-site". Only a
  // page of this server (the front end loaded from "localhost" calling
  // "127.0.0.1", say) may send it then, and Origin or Referer must say so.
  if (headers_.fetchSite && !sentByItself(*headers_.fetchSite) && !named) return false;
  // The own port costs a system call: asked for only when a header names a site.
  if (!named) return true;
  const int own = socket->getLocalPort();
  if (headers_.origin && !sameOrigin(*headers_.origin, own)) return false;
  if (headers_.referer && !sameOrigin(*headers_.referer, own)) return false;
  return true;
}

bool Server::Handler::inFolder(const std::string& folder, const std::string& file) const {
  if (file.find('\0') != std::string::npos) return false;
  return server_.soapFunctions->validPath(folder, "", platform::File(file));
}

bool Server::Handler::staysInside(std::string_view relative) {
  for (const std::string& segment : Strings::split(relative, "/")) {
    if (segment == "..") return false;
  }
  return true;
}

void Server::Handler::get(const std::string& target, platform::OutputStream& out) {
  const std::string path = target.substr(0, target.find('?'));
  if (Strings::contains(path, "exit_program") || Strings::contains(path, "exit_requested")) {
    statusOnly(kOk, out);
    out.flush();
    if (Strings::contains(path, "exit_requested") && !Strings::contains(path, "exit_program")) {
      notifyXmlSockets();
    }
    exitProgram();
  }
  if (Strings::endsWith(path, "loadimage")) {
    System::out().println("rawName: " + target);
    const std::string name = afterLast(target, '-');
    const std::string folder = userPath + "images/";
    std::string file = folder + name;
    if (!platform::File(file).exists()) file = folder + atoiString(name) + ".jpg";
    System::out().println("loadimage, file: " + file);
    serveFile(platform::File(staysInside(name) && inFolder(folder, file) ? file : ""), "image/jpeg", out);
    return;
  }
  if (Strings::endsWith(path, "loadsound")) {
    const std::string folder = userPath + "sounds/";
    const std::string file = folder + atoiString(afterLast(target, '-')) + ".mp3";
    System::out().println("loadsound, file: " + file);
    serveFile(platform::File(inFolder(folder, file) ? file : ""), "audio/mpeg", out);
    return;
  }
  if (Strings::endsWith(path, "call")) {
    platform::Properties props = parameters(afterLast(target, '?'));
    call(props, out);
    return;
  }
  size_t at = path.find("/webtemplate");
  if (at != std::string::npos && at > 0) {
    const std::string name = afterLast(path, '/');
    const std::string folder =
        common::GlobalConfig::getPath() + "WEB-INF/" + server_.domain.get() + "/webtemplate/";
    const std::string file = folder + name;
    System::out().println("webtemplate, file: " + file);
    serveFile(platform::File(staysInside(name) && inFolder(folder, file) ? file : ""), "text/plain", out);
    return;
  }
  const bool program = Strings::startsWith(path, "/main/");
  const std::string relative = program ? path.substr(5) : path;
  const std::string& folder = program ? programPath : rootPath;
  const std::string file = folder + relative;
  serveFile(platform::File(staysInside(relative) && inFolder(folder, file) ? file : ""), contentType(path),
            out);
}

void Server::Handler::serveFile(const platform::File& file, std::string_view type,
                                platform::OutputStream& out) {
  platform::InputStreamPtr in;
  try {
    // An empty path stands for a name that led out of its folder.
    if (file.getPath().empty()) throw platform::FileNotFoundException("outside its folder");
    in = common::GlobalConfig::getFileStreamFactory()->createFileInputStream(file);
  } catch (const platform::FileNotFoundException& e) {
    Server::log(e);
    statusOnly(kNotFound, out);
    return;
  }
  if (!Strings::contains(file.getAbsolutePath(), "test.txt")) {
    System::out().println("get: " + file.getPath());
  }
  respond(kOk, out);
  header("Content-Type: " + std::string(type), out);
  const int64_t length = file.length();
  header("Content-Length: " + std::to_string(length), out);
  header("", out);
  try {
    sendBody(*in, length, out);
  } catch (...) {
    in->close();
    throw;
  }
  in->close();
}

namespace {

// A failure while a file goes out: the announced length cannot be met, so
// the connection must end.
[[noreturn]] void cutShort(const char* step, const std::exception& e) {
  System::out().println(std::string("get ") + step + " exception: " + e.what() + " " + platform::describe(e));
  platform::printStackTrace(e);
  Server::log(e);
  throw platform::SocketException("reply cut short");
}

}  // namespace

void Server::Handler::sendBody(platform::InputStream& in, int64_t length, platform::OutputStream& out) {
  // A small file is copied, so that it joins the head in one send.
  platform::FileInputStream* plain = length >= kCopyBlock ? in.plainFile() : nullptr;
  const int64_t sent = plain ? sendPlainFile(*plain, length, out) : copyBody(in, length, out);
  // A file that shrank since its length was announced leaves the reply
  // short: only the end of the connection tells the client.
  if (sent < length) throw platform::SocketException("reply cut short");
}

int64_t Server::Handler::sendPlainFile(platform::FileInputStream& file, int64_t length,
                                       platform::OutputStream& out) {
  try {
    out.flush();  // the head goes first
    return file.transferTo(*socket, length);
  } catch (const std::exception& e) {
    cutShort("write", e);
  }
}

int64_t Server::Handler::copyBody(platform::InputStream& in, int64_t length, platform::OutputStream& out) {
  // No larger than the file needs, so that small files stay cheap.
  std::vector<char> block(static_cast<size_t>(std::clamp<int64_t>(length, kCopyBlock, kFileBlock)));
  int64_t sent = 0;
  while (sent < length) {
    const int piece = static_cast<int>(std::min<int64_t>(length - sent, static_cast<int64_t>(block.size())));
    int n;
    try {
      n = in.read(block.data(), 0, piece);
    } catch (const std::exception& e) {
      cutShort("read", e);
    }
    if (n <= 0) break;
    try {
      out.write(block.data(), 0, n);
    } catch (const std::exception& e) {
      cutShort("write", e);
    }
    sent += n;
  }
  return sent;
}

namespace {

// Reads a body of the announced length in pieces, so that memory grows with
// the bytes that really arrive, not with what a header claims.
// Each piece is taken from the budget before it is read: a client that
// declares a body and stalls holds only what it sent. Nothing when a piece
// does not fit.
std::optional<std::string> readBody(platform::InputStream& in, int length, ByteBudget::Reservation& held) {
  constexpr int kPiece = 64 * 1024;
  std::string body;
  // Room for the whole body at once, so that growing it copies nothing: the
  // system makes its pages resident only as the bytes arrive.
  body.reserve(static_cast<size_t>(length));
  while (static_cast<int>(body.size()) < length) {
    size_t done = body.size();
    int piece = std::min(kPiece, length - static_cast<int>(done));
    if (!held.grow(piece)) return std::nullopt;
    body.resize(done + piece);
    in.readFully(body.data() + done, piece);
  }
  return body;
}

// The text of a body's bytes; the bytes go as soon as it is made.
std::string decodedText(std::string bytes) { return platform::Charset::utf8().decode(bytes); }

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
}

// Whether the "password" at position at names an opening tag: "<password" or
// "<prefix:password", followed by '>' or white space.
bool opensPasswordTag(const std::string& text, size_t at) {
  const size_t after = at + 8;
  if (after >= text.size()) return false;
  const char next = text[after];
  if (next != '>' && !std::isspace(static_cast<unsigned char>(next))) return false;
  if (at == 0) return false;
  if (text[at - 1] == '<') return true;
  if (text[at - 1] != ':') return false;
  size_t start = at - 1;
  while (start > 0 && at - start < 64 && isNameChar(text[start - 1])) --start;
  return start > 0 && start < at - 1 && text[start - 1] == '<';
}

// A body that does not parse is printed for diagnosis; the text of any
// password element stays out of standard output and "log.txt".
std::string maskPasswords(std::string text) {
  for (size_t at = text.find("password"); at != std::string::npos; at = text.find("password", at + 1)) {
    if (!opensPasswordTag(text, at)) continue;
    const size_t close = text.find('>', at);
    if (close == std::string::npos) break;
    size_t end = text.find('<', close);
    if (end == std::string::npos) end = text.size();
    text.replace(close + 1, end - close - 1, "****");
    at = close;
  }
  return text;
}

}  // namespace

void Server::Handler::post(const std::string& target, platform::OutputStream& out) {
  System::out().println("post: " + target);
  try {
    const std::optional<std::string>& lengthLine = headers_.contentLength;
    int64_t length = 0;
    if (lengthLine) {
      size_t colon = lengthLine->find(':');
      // A body whose length cannot be read cannot be told from the next
      // request: the connection ends after the reply.
      closeAfterReply_ = true;
      length = platform::Integers::parseInt(
          Strings::trim(colon == std::string::npos ? *lengthLine : lengthLine->substr(colon + 1)));
      if (length < 0) throw platform::IllegalArgumentException("negative Content-Length");
      closeAfterReply_ = false;
    }
    if (length > MAX_BODY) throw TooLarge("request body too large");
    // Held until the request is answered, whichever way it ends.
    std::optional<ByteBudget::Reservation> held = bodyBudget().reserve(0);
    const TooLarge beyondBound("request bodies held at once beyond their bound");
    if (!held) throw beyondBound;
    std::optional<std::string> bytes = readBody(*inputStream, static_cast<int>(length), *held);
    if (!bytes) throw beyondBound;
    // The copies of the body a route holds beside its bytes count as well.
    auto holdCopies = [&](int copies) {
      if (!held->grow(length * (copies - 1))) throw beyondBound;
    };
    if (target == "/app/call") {
      // The decoded text beside the bytes, then the values beside the text,
      // then a command's own copy beside the value and its named copy.
      holdCopies(kCallCopies);
      platform::Properties props = parameters(decodedText(std::move(*bytes)));
      call(props, out);
    } else if (Strings::contains(target, "QuorvelAuctionPort") && length > 0) {
      // The text beside the bytes, then the parsed document beside the
      // text, then the values and a command's own copy beside the document.
      holdCopies(kSoapCopies);
      postSoap(decodedText(std::move(*bytes)), out);
    } else {
      statusOnly(kOk, out);
    }
  } catch (const TooLarge&) {
    throw;
  } catch (const platform::SocketException&) {
    throw;
  } catch (const std::exception& e) {
    Server::log(e);
    platform::printStackTrace(e);
    statusOnly(kNotFound, out);
  }
}

void Server::Handler::call(Properties& props, platform::OutputStream& out) {
  std::optional<std::string> function = props.getProperty("func");
  if (!function) throw platform::NullPointerException("no func");
  CallMapper::map(*function, props);
  const std::string result = evaluateFunction(*function, props);
  const std::string body = "result=" + common::XMLUtils::escape(result);
  System::out().println("evaluateFunction result length: " +
                        std::to_string(Strings::utf16Length(body)));
  // Nothing is written before the result is known, so a failing command
  // leaves no half reply in front of the error status.
  respond(kOk, out);
  header("Content-Type: text/plain;charset=utf-8", out);
  header("Content-Length: " + std::to_string(body.size()), out);
  header("", out);
  out.write(body);
}

void Server::Handler::postSoap(std::string body, platform::OutputStream& out) {
  System::out().print("sending SOAP response");
  xml::Document doc;
  try {
    doc = xml::SAXReader().read(body);
  } catch (const std::exception& e) {
    System::out().println(maskPasswords(std::move(body)));
    Server::log(e);
    throw;
  }
  // The document holds what is needed from here on.
  body = std::string();
  xml::Element root = doc.getRootElement();
  std::vector<xml::Element> level = root ? root.elements() : std::vector<xml::Element>{};
  if (level.empty()) throw platform::IllegalArgumentException("SOAP envelope without a body");
  std::vector<xml::Element> functions = level.front().elements();
  if (functions.empty()) {
    respond(kOk, out);
    header("Content-Length: 0", out);
    header("", out);
    return;
  }
  const xml::Element function = functions.front();
  const std::string name = function.getName();
  System::out().print("function: " + name);
  platform::Properties props;
  for (const xml::Element& parameter : function.elements()) {
    std::string key = parameter.getName();
    // The trace goes to standard output and "log.txt": no password in clear.
    // Printed a parameter at a time, so that no large value is held twice.
    System::out().print("(" + key + " " + (key == "password" ? "****" : parameter.getText()) + ") ");
    props.put(std::move(key), parameter.getText());
  }
  System::out().println("");
  const std::string result = evaluateFunction(name, props);
  std::string reply =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
      "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
      "<soapenv:Body>";
  reply.append("<ns1:").append(name).append("Response soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" xmlns:ns1=\"QuorvelAuction\">");
  reply.append("<result xsi:type=\"xsd:string\">").append(common::XMLUtils::encodeHtml(result)).append("</result>");
  reply.append("</ns1:").append(name).append("Response>");
  reply.append("</soapenv:Body></soapenv:Envelope>");
  respond(kOk, out);
  header("Cache-Control: no-store", out);
  header("Content-Type: text/xml", out);
  header("Content-Length: " + std::to_string(reply.size()), out);
  header("", out);
  out.write(reply);
  out.flush();
}

}  // namespace quorvelauction::offline
