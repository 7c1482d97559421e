#include "quorvelauction/offline/SimpleSoap.h"

#include <memory>

#include "platform/Exceptions.h"
#include "platform/SSLContext.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "xml/SAXReader.h"

namespace quorvelauction::offline {

namespace {

constexpr int kChunk = 65536;

std::string body(const std::string& function, const std::vector<SimpleSoap::Pair>& parameters) {
  std::string out =
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
      "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">"
      "<SOAP-ENV:Body xmlns:ns1=\"QuorvelAuction\">"
      "<ns1:" + function +
      " SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">";
  for (const SimpleSoap::Pair& pair : parameters) {
    if (pair.size() < 2) throw platform::IndexOutOfBoundsException("parameter pair without value");
    const std::string name = pair[0].value_or("null");
    out += "<" + name + " xsi:type=\"xsd:string\">" + common::XMLUtils::encodeXML(pair[1]) + "</" +
           name + ">";
  }
  out += "</ns1:" + function + "></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  return out;
}

std::string header(size_t contentLength) {
  return "POST /app/services/QuorvelAuctionPort HTTP/1.0\r\n"
         "Content-Type: text/xml;charset=utf-8\r\n"
         "Content-Length: " + std::to_string(contentLength) + "\r\n"
         "SOAPAction: \"\"\r\n\r\n";
}

// The byte offset of UTF-16 code unit index units in UTF-8 text; -1 when the text is shorter.
long offsetOfUnit(const std::string& text, size_t units) {
  size_t offset = 0;
  size_t seen = 0;
  while (seen < units) {
    if (offset >= text.size()) return -1;
    unsigned char lead = static_cast<unsigned char>(text[offset]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    seen += length == 4 ? 2 : 1;
    offset += length;
  }
  return static_cast<long>(std::min(offset, text.size()));
}

// Reads the whole answer as bytes; they are decoded once, by the XML reader.
std::string readAll(platform::InputStream& in) {
  std::string answer;
  std::unique_ptr<char[]> buffer(new char[kChunk]);
  for (;;) {
    int n = in.read(buffer.get(), 0, kChunk);
    if (n < 0) return answer;
    if (answer.size() + static_cast<size_t>(n) > SimpleSoap::kMaxAnswer) {
      throw platform::IOException("SOAP answer larger than " +
                                  std::to_string(SimpleSoap::kMaxAnswer) + " bytes");
    }
    answer.append(buffer.get(), static_cast<size_t>(n));
  }
}

xml::Element firstChild(const xml::Element& element) {
  std::vector<xml::Element> children = element.elements();
  if (children.empty()) throw platform::NoSuchElementException("answer tree too shallow");
  return children.front();
}

// A Body holding a Fault, wherever the first-child path leads (a Header may come first).
// Local names only: a service that qualifies them oddly still counts as failing.
bool isFault(const xml::Element& root) {
  for (const xml::Element& body : root.elements("Body")) {
    if (body.element("Fault")) return true;
  }
  return false;
}

}  // namespace

std::string SimpleSoap::request(const std::string& function, const std::vector<Pair>& parameters) {
  std::string content = body(function, parameters);
  return header(content.size()) + content;
}

std::string SimpleSoap::soapFunction(const std::optional<std::string>& host,
                                     const std::string& function,
                                     const std::vector<Pair>& parameters) {
  return call(host, function, parameters).text;
}

SimpleSoap::Answer SimpleSoap::call(const std::optional<std::string>& host,
                                    const std::string& function,
                                    const std::vector<Pair>& parameters) {
  std::string content = body(function, parameters);
  std::string head = header(content.size());
  std::unique_ptr<platform::SSLSocket> socket =
      Server::sc->getSocketFactory()->createSocket(host, 443, ServiceTimeouts::connect());
  socket->setSoTimeout(ServiceTimeouts::read());
  platform::OutputStream& out = socket->getOutputStream();
  out.write(head.data(), 0, static_cast<int>(head.size()));
  out.write(content.data(), 0, static_cast<int>(content.size()));
  out.flush();
  platform::InputStream& in = socket->getInputStream();
  std::string answer = readAll(in);
  in.close();
  out.close();
  return read(answer);
}

std::string SimpleSoap::interpret(const std::string& answer) { return read(answer).text; }

SimpleSoap::Answer SimpleSoap::read(const std::string& answer) {
  std::string xmlPart;
  size_t separator = answer.find("\r\n\r\n");
  if (separator != std::string::npos) {
    xmlPart = answer.substr(separator + 4);
  } else {
    long start = offsetOfUnit(answer, 3);
    if (start < 0) throw platform::IndexOutOfBoundsException("answer shorter than 3 characters");
    xmlPart = answer.substr(static_cast<size_t>(start));
  }
  xml::Document document = xml::SAXReader().read(xmlPart);
  const xml::Element root = document.getRootElement();
  xml::Element element = root;
  for (int level = 0; level < 3; ++level) element = firstChild(element);
  return {element.getText(), isFault(root)};
}

}  // namespace quorvelauction::offline
