#include "quorvelauction/common/ServiceSingeltons.h"

#include "platform/Charset.h"
#include "platform/Exceptions.h"

namespace quorvelauction::common {
namespace {

bool staysAsIs(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '*';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ServiceSingeltons::encodeURL(const std::string& text) {
  return encodeURL(text, platform::Charset::utf8());
}

std::string ServiceSingeltons::encodeURL(const std::string& text, const platform::Charset& charset) {
  static const char kHex[] = "0123456789ABCDEF";
  const std::string bytes = charset.encode(text);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (staysAsIs(c)) {
      out.push_back(ch);
    } else if (c == ' ') {
      out.push_back('+');
    } else {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  return out;
}

std::optional<std::string> ServiceSingeltons::encodeURL(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return encodeURL(*text);
}

std::string ServiceSingeltons::decodeURL(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      bytes.push_back(' ');
    } else if (c == '%') {
      if (i + 2 >= text.size()) throw platform::DecoderException("Invalid URL encoding: incomplete escape");
      int high = hexDigit(text[i + 1]);
      int low = hexDigit(text[i + 2]);
      if (high < 0 || low < 0) {
        throw platform::DecoderException("Invalid URL encoding: not a valid digit (radix 16): " +
                                         std::string(1, high < 0 ? text[i + 1] : text[i + 2]));
      }
      bytes.push_back(static_cast<char>(high * 16 + low));
      i += 2;
    } else {
      bytes.push_back(c);
    }
  }
  return platform::Charset::utf8().decode(bytes);
}

std::optional<std::string> ServiceSingeltons::decodeURL(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return decodeURL(*text);
}

}  // namespace quorvelauction::common
