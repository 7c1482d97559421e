// Drives the real server, started in a process of its own on a free port,
// over loopback with exact bytes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/File.h"

namespace e2e {
namespace {

const std::string kPolicy =
    "<cross-domain-policy><site-control permitted-cross-domain-policies=\"master-only\"/>"
    "<allow-access-from domain=\"*\" to-ports=\"*\"/></cross-domain-policy>";

// The status block with its Last-Modified time blanked out.
std::string block(const std::string& status) {
  return "HTTP/1.1 " + status +
         "\r\nExpires: Mon, 26 Jul 1997 05:00:00 GMT\r\nLast-Modified: *\r\n"
         "Cache-Control: no-cache, must-revalidate\r\nPragma: no-cache\r\n";
}

std::string blankDate(const std::string& head) {
  static const std::regex date(
      "Last-Modified: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] "
      "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] GMT");
  return std::regex_replace(head, date, "Last-Modified: *");
}

// A reply without a body: the status block and a zero length.
std::string statusOnly(const std::string& status) { return block(status) + "Content-Length: 0\r\n\r\n"; }

std::string callBody(const std::string& escapedResult) { return "result=" + escapedResult; }

class ServerLoopbackTest : public ::testing::Test {
 protected:
  void start() { server = std::make_unique<ServerProcess>(inst.folder()); }
  void SetUp() override { start(); }
  int port() const { return server->port(); }

  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

TEST_F(ServerLoopbackTest, FileReplyHasTheExactHead) {
  Reply reply = get(port(), "/index.html");
  EXPECT_EQ(blankDate(reply.head),
            block("200 Ok") + "Content-Type: text/html\r\nContent-Length: 19\r\n\r\n");
  // Stored scrambled below htdocs, served plain.
  EXPECT_EQ(reply.body, "<html>start</html>\n");
  EXPECT_NE(inst.read("htdocs/index.html"), reply.body);
}

TEST_F(ServerLoopbackTest, KeepAliveServesRequestsInOrder) {
  Connection c(port());
  c.send(
      "GET /index.html HTTP/1.1\r\nHost: localhost\r\nUser-Agent: test\r\n\r\n"
      "HEAD /index.html HTTP/1.1\r\nHost: localhost\r\n\r\n"
      "get /app/call?func=echo&a0=1 HTTP/1.1\r\n\r\n"
      "GET /missing.html HTTP/1.1\r\n\r\n"
      "GET /app/call?func=echo&a0=2 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(c.readReply().body, "<html>start</html>\n");
  Reply head = c.readReply();
  EXPECT_EQ(blankDate(head.head), statusOnly("501 Not implemented"));
  EXPECT_EQ(c.readReply().body, callBody("passed+parameters%3A+func%3Decho+a0%3D1+test%3D1"));
  Reply missing = c.readReply();
  EXPECT_EQ(blankDate(missing.head), statusOnly("404 file not found"));
  EXPECT_EQ(c.readReply().body, callBody("passed+parameters%3A+func%3Decho+a0%3D2+test%3D2"));
}

TEST_F(ServerLoopbackTest, BadRequestLinesGet500AndClose) {
  for (const char* line : {"GET\r\n", "xmlsocket \r\n", "\r\n"}) {
    Connection c(port());
    c.send(line);
    EXPECT_EQ(blankDate(c.readReply().head), statusOnly("500 Internal Error")) << line;
    EXPECT_TRUE(c.closedByPeer()) << line;
  }
  // The peer ends its side after its last request: one more 500, then the end.
  Connection c(port());
  c.send("GET /index.html HTTP/1.1\r\n\r\n");
  c.shutdownWrite();
  EXPECT_EQ(c.readReply().status, "200 Ok");
  EXPECT_EQ(c.readReply().status, "500 Internal Error");
  EXPECT_TRUE(c.closedByPeer());
}

TEST_F(ServerLoopbackTest, PolicyRequestAndXmlSocketStayOpen) {
  Connection policy(port());
  policy.send("<policy-file-request/>and more\r\n");
  EXPECT_EQ(policy.readExactly(kPolicy.size() + 1), kPolicy + std::string(1, '\0'));
  Connection xml(port());
  xml.send("xmlsocket\r\n");
  // Both connections are left open and silent; the server goes on serving.
  EXPECT_EQ(get(port(), "/index.html").status, "200 Ok");
  // The registration runs on its own connection thread: wait for its line.
  std::string out;
  for (int i = 0; i < 500 && out.find("xml socket added") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    out = server->output();
  }
  EXPECT_NE(out.find("<policy-file-request/> received"), std::string::npos);
  EXPECT_NE(out.find("xml socket added"), std::string::npos);
}

TEST_F(ServerLoopbackTest, ExitRequestTellsXmlSocketsAndEnds) {
  Connection policy(port());
  policy.send("<policy-file-request/>\r\n");
  policy.readExactly(kPolicy.size() + 1);
  Connection xml(port());
  xml.send("xmlsocket\r\n");
  for (int i = 0; i < 500 && server->output().find("xml socket added") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Reply reply = get(port(), "/app/exit_requested");
  EXPECT_EQ(blankDate(reply.head), statusOnly("200 Ok"));
  EXPECT_EQ(server->waitForExit(), 0);
  const std::string notice = std::string("ExitRequested") + '\0';
  EXPECT_EQ(xml.readToEnd(), notice);
  EXPECT_EQ(policy.readToEnd(), notice);
  EXPECT_NE(server->output().find("program exit"), std::string::npos);
}

TEST_F(ServerLoopbackTest, ExitRequestsEndTheProcess) {
  // exit_program anywhere in the path; offlineExitProgram without a reply.
  EXPECT_EQ(get(port(), "/x/exit_programnow.html").status, "200 Ok");
  EXPECT_EQ(server->waitForExit(), 0);
  start();
  Connection c(port());
  c.send("GET /app/call?func=offlineExitProgram&a0=s HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(c.closedByPeer());
  EXPECT_EQ(server->waitForExit(), 0);
  EXPECT_NE(server->output().find("program exit"), std::string::npos);
}

TEST_F(ServerLoopbackTest, GetCallsMapPositionsAndEscapeTheResult) {
  struct Case {
    const char* target;
    const char* body;
  };
  const Case cases[] = {
      {"/app/call?func=echo&a0=hello", "passed+parameters%3A+func%3Decho+a0%3Dhello+test%3Dhello"},
      // Any path ending in "call"; parameters after the last "?".
      {"/x/recall?ignored?func=echo&a0=b", "passed+parameters%3A+func%3Decho+a0%3Db+test%3Db"},
      // Values decoded, trimmed, apostrophes and euro handled; a piece
      // without "=" adds the empty key; the later of two keys wins.
      {"/app/call?func=echo&a0=%20%27x+y%27%20&odd",
       "passed+parameters%3A+func%3Decho+a0%3Dx+y+%3D+test%3Dx+y"},
      // Empty pieces: in between, the empty key; at the end, none.
      {"/app/call?func=echo&&a0=b&&", "passed+parameters%3A+func%3Decho+%3D+a0%3Db+test%3Db"},
      {"/app/call?func=echo&a0=1&a0=%E2%82%AC",
       "passed+parameters%3A+func%3Decho+a0%3D%26euro%3B+test%3D%26euro%3B"},
      {"/app/call?func=Echo&a0=1", "error%3Aunknown+function"},
      {"/app/call?func=offlineGetTransferStatus&a0=s", "0%3A0"},
      {"/app/call?func=offlineGetServerSessionId", "error%3Anot%5Fonline"},
      {"/app/call?func=getStore&a0=s", "error%3Aneeds%5Fupdate"},
      {"/app/call?func=userImages&a0=s", "%3Cimages%3E%3C%2Fimages%3E"},
  };
  for (const Case& c : cases) {
    Reply reply = get(port(), c.target);
    EXPECT_EQ(reply.body, callBody(c.body)) << c.target;
    EXPECT_EQ(reply.header("Content-Type"), "text/plain;charset=utf-8") << c.target;
    EXPECT_EQ(reply.header("Content-Length"), std::to_string(callBody(c.body).size())) << c.target;
  }
}

TEST_F(ServerLoopbackTest, FailingGetCallsGet500AndClose) {
  // No func; fewer positions than the command needs; a broken escape.
  for (const char* target :
       {"/app/call?a0=x", "/app/call?func=login&a0=u&a1=p", "/app/call?func=echo&a0=%4"}) {
    Connection c(port());
    c.send(std::string("GET ") + target + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(blankDate(c.readReply().head), statusOnly("500 Internal Error")) << target;
    EXPECT_TRUE(c.closedByPeer()) << target;
  }
}

TEST_F(ServerLoopbackTest, FormPostCall) {
  Connection c(port());
  const std::string body = "func=echo&a0=+'%E2%82%AC+5'+&extra=1";
  c.send("POST /app/call HTTP/1.1\r\nCONTENT-LENGTH: " + std::to_string(body.size()) + "\r\n\r\n" +
         body);
  Reply reply = c.readReply();
  const std::string expected =
      callBody("passed+parameters%3A+func%3Decho+a0%3D%26euro%3B+5+extra%3D1+test%3D%26euro%3B+5");
  EXPECT_EQ(blankDate(reply.head), block("200 Ok") +
                                       "Content-Type: text/plain;charset=utf-8\r\nContent-Length: " +
                                       std::to_string(expected.size()) + "\r\n\r\n");
  EXPECT_EQ(reply.body, expected);
  // Without a length the body is empty: no func, the POST failure reply,
  // and the connection goes on.
  c.send("POST /app/call HTTP/1.1\r\n\r\nGET /index.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(blankDate(c.readReply().head), statusOnly("404 file not found"));
  EXPECT_EQ(c.readReply().status, "200 Ok");
  // Another target: the body is read and dropped.
  c.send("POST /other HTTP/1.1\r\nContent-Length: 3\r\n\r\nabcGET /index.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(blankDate(c.readReply().head), statusOnly("200 Ok"));
  EXPECT_EQ(c.readReply().body, "<html>start</html>\n");
}

TEST_F(ServerLoopbackTest, LargeFormPostArrivesWhole) {
  // Larger than one read piece of the body, sent in two halves.
  const std::string value(200000, 'v');
  const std::string body = "func=echo&a0=" + value;
  const std::string request =
      "POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  Connection c(port());
  c.send(request.substr(0, request.size() / 2));
  c.send(request.substr(request.size() / 2));
  Reply reply = c.readReply();
  EXPECT_EQ(reply.body, callBody("passed+parameters%3A+func%3Decho+a0%3D" + value + "+test%3D" + value));
}

std::string envelope(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soapenv:Body>" +
         body + "</soapenv:Body></soapenv:Envelope>";
}

Reply soap(Connection& c, const std::string& body) {
  c.send("POST /app/services/QuorvelAuctionPort HTTP/1.1\r\nContent-Type: text/xml\r\n"
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  return c.readReply();
}

std::string replyEnvelope(const std::string& function, const std::string& result) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
         "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>"
         "<ns1:" + function + "Response soapenv:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
         "xmlns:ns1=\"QuorvelAuction\"><result xsi:type=\"xsd:string\">" + result +
         "</result></ns1:" + function + "Response></soapenv:Body></soapenv:Envelope>";
}

TEST_F(ServerLoopbackTest, SoapEndpoint) {
  Connection c(port());
  Reply reply = soap(c, envelope("<ns:echo xmlns:ns=\"urn:x\"><sessionId>s</sessionId>"
                                 "<x>a&lt;b &amp; \xC3\xA4</x></ns:echo>"));
  // No func, no positional renaming; the result coded for HTML.
  const std::string expected =
      replyEnvelope("echo", "passed parameters: sessionId=s x=a&lt;b &amp; \xC3\xA4");
  EXPECT_EQ(blankDate(reply.head), block("200 Ok") +
                                       "Cache-Control: no-store\r\nContent-Type: text/xml\r\n"
                                       "Content-Length: " + std::to_string(expected.size()) +
                                       "\r\n\r\n");
  EXPECT_EQ(reply.body, expected);

  EXPECT_EQ(soap(c, envelope("<getNothing/>")).body,
            replyEnvelope("getNothing", "error:unknown function"));
  // An empty body element: the bare 200 with its zero length, so a kept-alive
  // client does not wait for a body.
  EXPECT_EQ(blankDate(soap(c, envelope("")).head), statusOnly("200 Ok"));
  // Not XML, and an envelope without a child: the POST failure reply.
  EXPECT_EQ(soap(c, "<Envelope><Body>").status, "404 file not found");
  EXPECT_EQ(soap(c, "<Envelope/>").status, "404 file not found");
  EXPECT_EQ(get(port(), "/index.html").status, "200 Ok");
}

TEST_F(ServerLoopbackTest, GetRoutesAndContentTypes) {
  inst.store("htdocs/page.HTML", "upper");
  inst.store("htdocs/data.bin", "bin");
  inst.store("htdocs/images/logo.gif", "gif");
  inst.store("htdocs/webtemplate/x.html", "root webtemplate");
  inst.plain("htdocs/app/images/15.jpg", "fifteen");
  inst.plain("htdocs/app/images/15v.jpg", "fifteen v");
  inst.plain("htdocs/app/sounds/12.mp3", "twelve");
  struct Case {
    const char* target;
    const char* type;
    const char* body;
  };
  const Case cases[] = {
      {"/page.HTML", "text/html", "upper"},
      {"/data.bin", "text/plain", "bin"},
      {"/images/logo.gif", "image/gif", "gif"},
      {"/main/readme.txt", "text/plain", "program folder file\n"},
      {"/webtemplate/x.html", "text/html", "root webtemplate"},
      {"/app/webtemplate/auction.html", "text/plain", "<p>$title</p>\n"},
      {"/app/loadimage?id=image-15v.jpg", "image/jpeg", "fifteen v"},
      {"/app/loadimage?id=image-15x.jpg", "image/jpeg", "fifteen"},
      {"/app/loadsound?id=sound-12.mp3", "audio/mpeg", "twelve"},
  };
  for (const Case& c : cases) {
    Reply reply = get(port(), c.target);
    EXPECT_EQ(reply.status, "200 Ok") << c.target;
    EXPECT_EQ(reply.header("Content-Type"), c.type) << c.target;
    EXPECT_EQ(reply.body, c.body) << c.target;
  }
}

TEST_F(ServerLoopbackTest, PathsOutOfTheirFolderAreNotFound) {
  inst.plain("htdocs/app/images/1.jpg", "one");
  // Links out of a route's folder, and a NUL that would cut the name short.
  const std::string secret = inst.folder() + "../secret.txt";
  ASSERT_EQ(::symlink(secret.c_str(), (inst.app() + "images/7.jpg").c_str()), 0);
  ASSERT_EQ(::symlink(secret.c_str(), (inst.folder() + "htdocs/link.html").c_str()), 0);
  ASSERT_EQ(::symlink(secret.c_str(), (inst.folder() + "linked.txt").c_str()), 0);
  const std::string targets[] = {"/../../secret.txt", "/app/../../../secret.txt", "/main/../../secret.txt", "/main/..",
        "/app/loadimage?x-../../../../secret.txt", "/app/loadimage?x-../images/1.jpg",
        "/app/webtemplate/..", "/..", "/app/loadimage?x-7.jpg", "/app/loadimage?x-7", "/link.html",
        "/main/linked.txt", std::string("/index.html\0.png", 16)};
  for (const std::string& target : targets) {
    Connection c(port());
    c.send("GET " + target + " HTTP/1.1\r\n\r\nGET /index.html HTTP/1.1\r\n\r\n");
    Reply reply = c.readReply();
    EXPECT_EQ(blankDate(reply.head), statusOnly("404 file not found")) << target;
    EXPECT_EQ(c.readReply().status, "200 Ok") << target;
  }
}

TEST_F(ServerLoopbackTest, RequestsFromOtherSitesAreRefused) {
  const std::string own = "localhost:" + std::to_string(port());
  const std::pair<std::string, const char*> cases[] = {
      {"Host: localhost", "200 Ok"},
      {"Host: " + own, "200 Ok"},
      {"Host: 127.0.0.1:1", "200 Ok"},
      {"Host: [::1]", "200 Ok"},
      {"Host: LocalHost", "200 Ok"},
      {"Host: localhost\r\nOrigin: http://" + own, "200 Ok"},
      {"Referer: http://127.0.0.1:" + std::to_string(port()) + "/index.html", "200 Ok"},
      {"Host: evil.example", "403 Forbidden"},
      {"Host: localhost.evil.example", "403 Forbidden"},
      {"Host: 127.0.0.1.evil.example:80", "403 Forbidden"},
      {"Host: ", "403 Forbidden"},
      {"Origin: http://evil.example", "403 Forbidden"},
      {"Origin: null", "403 Forbidden"},
      {"Origin: http://localhost:1", "403 Forbidden"},
      {"Origin: https://" + own, "403 Forbidden"},
      {"Origin: http://" + own + ".evil.example", "403 Forbidden"},
      {"Referer: http://evil.example/" + own, "403 Forbidden"},
      {"Referer: http://localhost@evil.example/", "403 Forbidden"},
      // What the browser says of the sender: another site, or another port
      // of this host, is refused unless Origin or Referer names this server.
      {"Sec-Fetch-Site: same-origin", "200 Ok"},
      {"Sec-Fetch-Site: none", "200 Ok"},
      {"Sec-Fetch-Site: cross-site", "403 Forbidden"},
      {"Sec-Fetch-Site: same-site", "403 Forbidden"},
      {"Sec-Fetch-Site: ", "403 Forbidden"},
      {"Sec-Fetch-Site: cross-site\r\nOrigin: http://" + own, "200 Ok"},
      {"Sec-Fetch-Site: cross-site\r\nReferer: http://127.0.0.1:" + std::to_string(port()) + "/", "200 Ok"},
      {"Sec-Fetch-Site: same-site\r\nOrigin: http://localhost:1", "403 Forbidden"},
      {"Sec-Fetch-Site: same-site\r\nReferer: http://localhost:1/", "403 Forbidden"},
      // A header the check reads, twice: either copy could be the one judged.
      {"Sec-Fetch-Site: same-origin\r\nSec-Fetch-Site: same-origin", "403 Forbidden"},
      {"Host: localhost\r\nhost: localhost", "403 Forbidden"},
      {"Origin: http://" + own + "\r\nOrigin: http://" + own, "403 Forbidden"},
      {"Referer: http://" + own + "/\r\nReferer: http://" + own + "/", "403 Forbidden"},
  };
  for (const auto& [headers, status] : cases) {
    Connection c(port());
    c.send("GET /index.html HTTP/1.1\r\n" + headers + "\r\n\r\n");
    EXPECT_EQ(c.readReply().status, status) << headers;
  }
  // Nothing of a refused request is done, and the connection ends.
  const std::string foreign = "Origin: http://evil.example\r\n";
  Connection save(port());
  const std::string body = "func=saveUserFile&a0=s&a1=forged.txt&a2=x";
  save.send("POST /app/call HTTP/1.1\r\n" + foreign + "Content-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body);
  EXPECT_EQ(blankDate(save.readReply().head), statusOnly("403 Forbidden"));
  EXPECT_TRUE(save.closedByPeer());
  EXPECT_FALSE(platform::File(inst.app() + "WEB-INF/user/forged.txt").exists());
  // A picture of a foreign page that sends no Referer.
  const std::string picture = "Host: 127.0.0.1:" + std::to_string(port()) + "\r\nSec-Fetch-Site: cross-site\r\n";
  // Repeated headers where the last copy alone would pass.
  const std::string repeats[] = {
      picture,
      "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Site: same-origin\r\n",
      "Host: evil.example\r\nHost: " + own + "\r\n",
      "Origin: http://evil.example\r\nOrigin: http://" + own + "\r\n",
      "Referer: http://evil.example/\r\nReferer: http://" + own + "/\r\n",
  };
  for (const std::string& headers : repeats) {
    Connection getSave(port());
    getSave.send("GET /app/call?func=saveUserFile&a0=s&a1=forged.txt&a2=x HTTP/1.1\r\n" + headers + "\r\n");
    EXPECT_EQ(getSave.readReply().status, "403 Forbidden") << headers;
    EXPECT_FALSE(platform::File(inst.app() + "WEB-INF/user/forged.txt").exists()) << headers;
  }
  for (const std::string& headers : {std::string("Host: evil.example\r\n"), picture}) {
    Connection exit(port());
    exit.send("GET /app/exit_program HTTP/1.1\r\n" + headers + "\r\n");
    EXPECT_EQ(exit.readReply().status, "403 Forbidden") << headers;
  }
  EXPECT_EQ(get(port(), "/index.html").status, "200 Ok");
}

std::string repeated(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

TEST_F(ServerLoopbackTest, OverlongLinesAndBodiesAreRefused) {
  const std::string longLine(2 << 20, 'a');
  const std::string requests[] = {
      "GET /" + longLine + " HTTP/1.1\r\n\r\n",
      "GET /index.html HTTP/1.1\r\nX-Long: " + longLine + "\r\n\r\n",
      "POST /app/call HTTP/1.1\r\nContent-Length: 2000000000\r\n\r\n",
      // Short header lines whose block is longer than a line may be.
      "GET /index.html HTTP/1.1\r\n" + repeated("X-A: b\r\n", 140000) + "\r\n",
  };
  for (const std::string& request : requests) {
    Connection c(port());
    c.send(request);
    EXPECT_EQ(blankDate(c.readReply().head), statusOnly("500 Internal Error"));
    EXPECT_TRUE(c.closedByPeer());
  }
  // A length that cannot be read: the POST failure reply, then the end, as
  // what follows cannot be told from the body.
  for (const char* length : {"-1", "-5", "12x", "abc", "", "99999999999"}) {
    Connection c(port());
    c.send(std::string("POST /app/call HTTP/1.1\r\nContent-Length: ") + length +
           "\r\n\r\nGET /index.html HTTP/1.1\r\n\r\n");
    EXPECT_EQ(c.readReply().status, "404 file not found") << length;
    EXPECT_TRUE(c.closedByPeer()) << length;
  }
  // A leading plus sign is a length like any other.
  Connection c(port());
  const std::string body = "func=echo&a0=1";
  c.send("POST /app/call HTTP/1.1\r\nContent-Length: +" + std::to_string(body.size()) + "\r\n\r\n" + body +
         "GET /index.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(c.readReply().body, callBody("passed+parameters%3A+func%3Decho+a0%3D1+test%3D1"));
  EXPECT_EQ(c.readReply().status, "200 Ok");
}

TEST_F(ServerLoopbackTest, StoreDocument) {
  inst.store("htdocs/app/store.xml", "<store>\n  <item id=\"1\">  two   words </item>\n</store>\n");
  EXPECT_EQ(get(port(), "/app/call?func=getStore&a0=s").body,
            callBody("%3Cstore%3E%3Citem+id%3D%221%22%3Etwo+words%3C%2Fitem%3E%3C%2Fstore%3E"));
  inst.store("htdocs/app/store.xml", "<store>");
  EXPECT_EQ(get(port(), "/app/call?func=getStore&a0=s").body, callBody("error%3Aneeds%5Fupdate"));
  // Malformed bytes repaired, then a NUL: refused like any broken document.
  inst.store("htdocs/app/store.xml", std::string(10, '\xEE') + std::string("\n\0", 2));
  EXPECT_EQ(get(port(), "/app/call?func=getStore&a0=s").body, callBody("error%3Aneeds%5Fupdate"));
}

std::string curl(const std::string& arguments) {
  std::string output;
  FILE* pipe = ::popen(("curl -sS " + arguments).c_str(), "r");
  if (!pipe) return "popen failed";
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  ::pclose(pipe);
  return output;
}

TEST_F(ServerLoopbackTest, CurlAsTheClient) {
  const std::string base = "http://127.0.0.1:" + std::to_string(port());
  EXPECT_EQ(curl("'" + base + "/app/call?func=echo&a0=hello'"),
            callBody("passed+parameters%3A+func%3Decho+a0%3Dhello+test%3Dhello"));
  EXPECT_EQ(curl("--data 'func=echo&a0=%27x%27' " + base + "/app/call"),
            callBody("passed+parameters%3A+func%3Decho+a0%3Dx+test%3Dx"));
  EXPECT_EQ(curl(base + "/index.html"), "<html>start</html>\n");
}

// Bytes that differ from position to position, so that a shifted or
// repeated piece shows.
std::string pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + i / 4099);
  return bytes;
}

// Plain files above a size go from the file to the connection without a
// copy, smaller ones and scrambled ones are copied: every size on both sides
// of the edge, pipelined on one connection, keeps its exact head and body.
TEST_F(ServerLoopbackTest, FileRepliesOfEverySizeAndStorage) {
  struct Case {
    std::string stored;  // below the program folder
    std::string target;
    const char* type;
    size_t size;
    bool scrambled;
  };
  std::vector<Case> cases;
  const size_t sizes[] = {0, 1, 65535, 65536, 65537, (3 << 20) + 7};
  for (size_t size : sizes) {
    const std::string name = std::to_string(size);
    cases.push_back(
        {"htdocs/app/images/" + name + ".jpg", "/app/images/" + name + ".jpg", "image/jpeg", size, false});
    cases.push_back({"htdocs/files/" + name + ".bin", "/files/" + name + ".bin", "text/plain", size, true});
  }
  std::string requests;
  for (const Case& c : cases) {
    if (c.scrambled) inst.store(c.stored, pattern(c.size));
    else inst.plain(c.stored, pattern(c.size));
    requests += "GET " + c.target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
  }
  Connection connection(port());
  connection.send(requests);
  for (const Case& c : cases) {
    Reply reply = connection.readReply();
    EXPECT_EQ(blankDate(reply.head), block("200 Ok") + "Content-Type: " + c.type +
                                         "\r\nContent-Length: " + std::to_string(c.size) + "\r\n\r\n")
        << c.target;
    EXPECT_EQ(reply.body, pattern(c.size)) << c.target;
    if (c.scrambled && c.size > 0) {
      EXPECT_NE(inst.read(c.stored), reply.body) << c.target;
    }
  }
}

// Where two texts first differ, or npos: a large body is not printed whole.
size_t firstDifference(const std::string& a, const std::string& b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return i;
  }
  return a.size() == b.size() ? std::string::npos : common;
}

// A file that changes while it goes out: one that grew gives no byte beyond
// the announced length, so the connection serves on; one that shrank ends
// the connection, as the reply cannot be whole. The file is larger than the
// socket buffers hold, so the server is still sending when it changes.
TEST_F(ServerLoopbackTest, FileThatChangesWhileSentNeverOverrunsItsLength) {
  constexpr size_t kSize = 32 << 20;
  struct Case {
    const char* stored;
    const char* target;
    bool scrambled;
    bool grows;
  };
  const Case cases[] = {
      {"htdocs/app/images/grows.jpg", "/app/images/grows.jpg", false, true},
      {"htdocs/app/images/shrinks.jpg", "/app/images/shrinks.jpg", false, false},
      {"htdocs/files/grows.bin", "/files/grows.bin", true, true},
      {"htdocs/files/shrinks.bin", "/files/shrinks.bin", true, false},
  };
  const std::string content = pattern(kSize);
  for (const Case& c : cases) {
    if (c.scrambled) inst.store(c.stored, content);
    else inst.plain(c.stored, content);
    const std::string path = inst.folder() + c.stored;
    Connection connection(port());
    connection.send("GET " + std::string(c.target) + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
    Reply head = connection.readHead();
    ASSERT_EQ(head.header("Content-Length"), std::to_string(kSize)) << c.target;
    if (c.grows) {
      FILE* file = std::fopen(path.c_str(), "ab");
      ASSERT_NE(file, nullptr);
      std::fwrite(content.data(), 1, 1 << 20, file);
      std::fclose(file);
      EXPECT_EQ(firstDifference(connection.readExactly(kSize), content), std::string::npos) << c.target;
      connection.send("GET /app/call?func=echo&a0=1 HTTP/1.1\r\nHost: localhost\r\n\r\n");
      EXPECT_EQ(connection.readReply().body, callBody("passed+parameters%3A+func%3Decho+a0%3D1+test%3D1"))
          << c.target;
    } else {
      ASSERT_EQ(::truncate(path.c_str(), 1 << 20), 0);
      // What a cut reply holds is not defined: bytes handed to the kernel
      // without a copy are taken from the file only as they leave.
      EXPECT_LT(connection.readUntilClosed().size(), kSize) << c.target;
    }
  }
}

// A client that goes away in the middle of a large plain file must not end
// the server (the kernel's transfer raises SIGPIPE on a broken connection).
TEST_F(ServerLoopbackTest, ClientLeavingInTheMiddleOfAFileLeavesTheServerRunning) {
  inst.plain("htdocs/app/images/big.jpg", pattern(16 << 20));
  for (int i = 0; i < 5; ++i) {
    {
      Connection connection(port());
      connection.send("GET /app/images/big.jpg HTTP/1.1\r\nHost: localhost\r\n\r\n");
      connection.readExactly(static_cast<size_t>(i) * 100000 + 1);
    }
    EXPECT_EQ(get(port(), "/index.html").body, "<html>start</html>\n") << i;
  }
}

}  // namespace
}  // namespace e2e
