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
  // Sized for the worst case and cut to length after: no check per byte.
  std::string out(bytes.size() * 3, '\0');
  char* next = out.data();
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (staysAsIs(c)) {
      *next++ = ch;
    } else if (c == ' ') {
      *next++ = '+';
    } else {
      *next++ = '%';
      *next++ = kHex[c >> 4];
      *next++ = kHex[c & 0xF];
    }
  }
  out.resize(static_cast<size_t>(next - out.data()));
  return out;
}

std::optional<std::string> ServiceSingeltons::encodeURL(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return encodeURL(*text);
}

std::string ServiceSingeltons::decodeURL(const std::string& text) {
  // Never longer than the text: sized first and cut to length after.
  std::string bytes(text.size(), '\0');
  char* next = bytes.data();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      *next++ = ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size()) throw platform::DecoderException("Invalid URL encoding: incomplete escape");
      int high = hexDigit(text[i + 1]);
      int low = hexDigit(text[i + 2]);
      if (high < 0 || low < 0) {
        throw platform::DecoderException("Invalid URL encoding: not a valid digit (radix 16): " +
                                         std::string(1, high < 0 ? text[i + 1] : text[i + 2]));
      }
      *next++ = static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      *next++ = c;
    }
  }
  bytes.resize(static_cast<size_t>(next - bytes.data()));
  return platform::Charset::utf8().decode(bytes);
}

std::optional<std::string> ServiceSingeltons::decodeURL(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return decodeURL(*text);
}

}  // namespace quorvelauction::common
