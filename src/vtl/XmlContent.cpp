#include "vtl/XmlContent.h"

#include <cstdint>

#include "platform/Strings.h"

namespace vtl {

XmlContent::XmlContent(std::string_view xml) { scan(xml); }

void XmlContent::scan(std::string_view xml) {
  int depth = 0;
  bool inText = false;  // a text run of the element itself is open
  size_t at = 0;
  while (at < xml.size()) {
    if (xml[at] != '<') {
      size_t stop = xml.find('<', at);
      if (stop == std::string_view::npos) stop = xml.size();
      if (depth == 1 && !inText) ++nodeCount_;
      if (depth == 1) inText = true;
      if (depth >= 1) appendText(xml.substr(at, stop - at));
      at = stop;
      continue;
    }
    if (xml.compare(at, 9, "<![CDATA[") == 0) {
      size_t stop = xml.find("]]>", at + 9);
      if (stop == std::string_view::npos) stop = xml.size();
      if (depth == 1) ++nodeCount_;
      stringValue_.append(xml.substr(at + 9, stop - at - 9));
      inText = false;
      at = stop + 3;
      continue;
    }
    bool opening = xml.compare(at, 2, "</") != 0 && xml.compare(at, 2, "<!") != 0 &&
                   xml.compare(at, 2, "<?") != 0;
    if (depth == 1 && xml.compare(at, 2, "</") != 0) ++nodeCount_;
    if (depth == 1 || !opening) inText = false;
    at = skipMarkup(xml, at, depth);
  }
}

// Past the tag, comment or instruction at "<", keeping count of open elements.
size_t XmlContent::skipMarkup(std::string_view xml, size_t at, int& depth) {
  if (xml.compare(at, 4, "<!--") == 0) {
    size_t stop = xml.find("-->", at + 4);
    return stop == std::string_view::npos ? xml.size() : stop + 3;
  }
  if (xml.compare(at, 2, "<?") == 0) {
    size_t stop = xml.find("?>", at + 2);
    return stop == std::string_view::npos ? xml.size() : stop + 2;
  }
  bool closing = xml.compare(at, 2, "</") == 0;
  char quote = 0;
  size_t p = at + 1;
  for (; p < xml.size(); ++p) {
    char c = xml[p];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      break;
    }
  }
  bool empty = p > at && p < xml.size() && xml[p - 1] == '/';
  if (closing) {
    --depth;
  } else if (!empty) {
    ++depth;
  }
  return p < xml.size() ? p + 1 : xml.size();
}

// Text as written, its entity and character references resolved.
void XmlContent::appendText(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t amp = text.find('&', at);
    if (amp == std::string_view::npos) amp = text.size();
    stringValue_.append(text.substr(at, amp - at));
    if (amp == text.size()) break;
    size_t semi = text.find(';', amp);
    if (semi == std::string_view::npos) {
      stringValue_.append(text.substr(amp));
      break;
    }
    std::string_view name = text.substr(amp + 1, semi - amp - 1);
    if (name == "amp") {
      stringValue_ += '&';
    } else if (name == "lt") {
      stringValue_ += '<';
    } else if (name == "gt") {
      stringValue_ += '>';
    } else if (name == "quot") {
      stringValue_ += '"';
    } else if (name == "apos") {
      stringValue_ += '\'';
    } else if (!name.empty() && name[0] == '#') {
      bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
      uint32_t code = 0;
      for (char c : name.substr(hex ? 2 : 1)) {
        code = code * (hex ? 16 : 10) +
               static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        if (code > 0x10FFFF) break;
      }
      stringValue_ += platform::Strings::fromCodePoint(code > 0x10FFFF ? 0xFFFD : code);
    } else {
      stringValue_.append(text.substr(amp, semi - amp + 1));
    }
    at = semi + 1;
  }
}

}  // namespace vtl
