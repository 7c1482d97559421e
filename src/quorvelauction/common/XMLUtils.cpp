#include "quorvelauction/common/XMLUtils.h"

#include <exception>

#include "platform/BufferedInputStream.h"
#include "platform/BufferedOutputStream.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

namespace quorvelauction::common {

namespace {

const char kHex[] = "0123456789ABCDEF";

void appendPercent(std::string& out, unsigned char byte) {
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Form-URL decoding with UTF-8: "+" is a blank, each run of "%XX" escapes is
// one byte sequence read as UTF-8.
std::string formDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (c == '+') {
      out += ' ';
      ++i;
    } else if (c == '%') {
      std::string bytes;
      while (i < s.size() && s[i] == '%') {
        if (i + 2 >= s.size())
          throw platform::IllegalArgumentException("URLDecoder: Incomplete trailing escape (%) pattern");
        int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
        if (hi < 0 || lo < 0)
          throw platform::IllegalArgumentException(
              "URLDecoder: Illegal hex characters in escape (%) pattern - " + std::string(s.substr(i + 1, 2)));
        bytes += static_cast<char>(hi * 16 + lo);
        i += 3;
      }
      out += platform::Charset::utf8().decode(bytes);
    } else {
      out += c;
      ++i;
    }
  }
  return out;
}

std::string encodeEntities(std::string_view s, bool html) {
  std::string out;
  out.reserve(s.size() + 50);
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'':
        if (html) out += "&#039;"; else out += c;
        break;
      case '\\':
        if (html) out += "&#092;"; else out += c;
        break;
      default: out += c; break;
    }
  }
  return out;
}

// Closes a stream during unwinding without letting its failure replace the
// one that is in flight.
template <typename Stream>
void closeQuietly(Stream& stream) {
  try {
    stream.close();
  } catch (const std::exception&) {
  }
}

}  // namespace

namespace {

// One UTF-16 unit of escape's input, as it appears in the output.
void appendEscaped(std::string& out, char16_t u) {
  if (u == u' ') {
    out += '+';
  } else if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9')) {
    out += static_cast<char>(u);
  } else if (u >= 0xD800 && u <= 0xDFFF) {
    appendPercent(out, '?');  // a lone half has no UTF-8 form
  } else if (u < 0x80) {
    appendPercent(out, static_cast<unsigned char>(u));
  } else if (u < 0x800) {
    appendPercent(out, static_cast<unsigned char>(0xC0 | (u >> 6)));
    appendPercent(out, static_cast<unsigned char>(0x80 | (u & 0x3F)));
  } else {
    appendPercent(out, static_cast<unsigned char>(0xE0 | (u >> 12)));
    appendPercent(out, static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F)));
    appendPercent(out, static_cast<unsigned char>(0x80 | (u & 0x3F)));
  }
}

}  // namespace

std::string XMLUtils::escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  // ASCII bytes are their own UTF-16 units: only other text is converted.
  if (platform::Strings::isAscii(text)) {
    // Runs of letters and digits, which stand for themselves, go in at once.
    auto plain = [](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    size_t at = 0;
    while (at < text.size()) {
      const size_t start = at;
      while (at < text.size() && plain(text[at])) ++at;
      out.append(text.substr(start, at - start));
      if (at < text.size()) appendEscaped(out, static_cast<char16_t>(text[at++]));
    }
    return out;
  }
  for (char16_t u : platform::Strings::toUtf16(text)) appendEscaped(out, u);
  return out;
}

std::string XMLUtils::unescape(std::string_view text) {
  // Trimmed and stripped in place, and copied again only for a euro sign:
  // a large form value is held once beside its source.
  std::string decoded = formDecode(text);
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  size_t begin = 0, end = decoded.size();
  while (begin < end && blank(decoded[begin])) ++begin;
  while (end > begin && blank(decoded[end - 1])) --end;
  if (end > begin && decoded[end - 1] == '\'') --end;
  if (end > begin && decoded[begin] == '\'') ++begin;
  decoded.erase(end);
  decoded.erase(0, begin);
  constexpr std::string_view kEuroSign = "\xE2\x82\xAC";
  if (decoded.find(kEuroSign) == std::string::npos) return decoded;
  return Auction::escapeEuro(std::string_view(decoded));
}

std::string XMLUtils::unescape(const std::optional<std::string>& text) {
  return text ? unescape(std::string_view(*text)) : std::string();
}

std::string XMLUtils::encodeXML(std::string_view text) { return encodeEntities(text, false); }

std::string XMLUtils::encodeXML(const std::optional<std::string>& text) {
  return text ? encodeXML(std::string_view(*text)) : std::string();
}

std::string XMLUtils::encodeHtml(std::string_view text) {
  return text.empty() ? std::string("&nbsp;") : encodeEntities(text, true);
}

std::string XMLUtils::encodeHtml(const std::optional<std::string>& text) {
  return text ? encodeHtml(std::string_view(*text)) : std::string("&nbsp;");
}

std::string XMLUtils::escapeUmlaut(std::string_view text) {
  static const std::pair<const char*, const char*> kLetters[] = {
      {"\xC3\xA4", "&auml;"}, {"\xC3\xB6", "&ouml;"}, {"\xC3\xBC", "&uuml;"}, {"\xC3\x84", "&Auml;"},
      {"\xC3\x96", "&Ouml;"}, {"\xC3\x9C", "&Uuml;"}, {"\xC3\x9F", "&szlig;"},
  };
  std::string out(text);
  for (auto [letter, entity] : kLetters) out = platform::Strings::replace(out, letter, entity);
  return out;
}

std::string XMLUtils::htmlToText(std::string_view text) {
  // Each "<" up to the next ">" is one tag; a "<" without a later ">" and
  // everything after it stay.
  std::string stripped;
  stripped.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('<', i);
    size_t close = open == std::string_view::npos ? open : text.find('>', open + 1);
    if (close == std::string_view::npos) {
      stripped.append(text.substr(i));
      break;
    }
    stripped.append(text.substr(i, open - i));
    stripped += ' ';
    i = close + 1;
  }
  std::string out = platform::Strings::replace(stripped, "&lt;", "<");
  out = platform::Strings::replace(out, "&gt;", ">");
  out = platform::Strings::replace(out, "&euro;", "\xE2\x82\xAC");
  return Auction::stripApostrophe(platform::Strings::trim(out));
}

xml::Document XMLUtils::fileToDoc(const std::string& path) {
  try {
    platform::InputStreamPtr in = GlobalConfig::createFileInputStream(platform::File(path));
    try {
      xml::Document doc = xml::SAXReader().read(*in);
      in->close();
      return doc;
    } catch (...) {
      closeQuietly(*in);
      throw;
    }
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return xml::Document();
  }
}

xml::Document XMLUtils::stringToDoc(std::string_view text) { return xml::SAXReader().read(text); }

xml::Element XMLUtils::getByPath(const xml::Element& root, const std::string& path) {
  xml::Element current = root;
  for (const std::string& name : platform::Strings::split(path, "/")) {
    xml::Element next = current.element(name);
    if (!next) throw platform::Exception("element " + name + " not found");
    current = next;
  }
  return current;
}

std::string XMLUtils::asCompactString(const xml::Document& document) {
  xml::Element root = document.getRootElement();
  return root ? asCompactString(root) : std::string();
}

std::string XMLUtils::asCompactString(const xml::Element& element) {
  return xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(element);
}

std::string XMLUtils::prettyPrint(const xml::Document& document) {
  try {
    std::string text = xml::XMLWriter(xml::OutputFormat::createPrettyPrint()).toString(document);
    platform::System::out().println(text);
    return text;
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return "";
  }
}

std::string XMLUtils::prettyPrint(const xml::Element& element) {
  try {
    std::string text = xml::XMLWriter(xml::OutputFormat::createPrettyPrint()).toString(element);
    platform::System::out().println(text);
    return text;
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return "";
  }
}

int32_t XMLUtils::parseId(const xml::Attribute& attribute) {
  if (!attribute) return -1;
  try {
    return platform::Integers::parseSignedDigits(attribute.getValue());
  } catch (const platform::NumberFormatException&) {
    return -1;
  }
}

void XMLUtils::copyLocal(const std::string& source, const std::string& destination) {
  platform::File from(source);
  if (!from.exists()) return;
  platform::BufferedInputStream in(GlobalConfig::createFileInputStream(from));
  try {
    platform::BufferedOutputStream out(GlobalConfig::createFileOutputStream(platform::File(destination)), 8192);
    try {
      char buffer[1024];
      int n;
      while ((n = in.read(buffer, 0, sizeof buffer)) > 0) out.write(buffer, 0, n);
    } catch (...) {
      closeQuietly(out);
      throw;
    }
    out.close();
  } catch (...) {
    closeQuietly(in);
    throw;
  }
  in.close();
}

std::string XMLUtils::webfileToString(const std::string& path) {
  platform::File file(path);
  if (!file.exists()) return "";
  platform::BufferedInputStream in(GlobalConfig::createFileInputStream(file));
  std::string bytes;
  try {
    char buffer[1024];
    int n;
    while ((n = in.read(buffer, 0, sizeof buffer)) > 0) bytes.append(buffer, n);
  } catch (...) {
    closeQuietly(in);
    throw;
  }
  in.close();
  return platform::Charset::iso88591().decode(bytes);
}

}  // namespace quorvelauction::common
