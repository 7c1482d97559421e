#pragma once

#include <optional>
#include <string>

#include "platform/Charset.h"

namespace quorvelauction::common {

// The process's URL codec: form URL encoding of UTF-8 text. Stateless, so
// all threads share it.
class ServiceSingeltons {
 public:
  ServiceSingeltons() = delete;

  // ASCII letters, digits and "-_.*" stay, a blank becomes "+", every other
  // byte of the UTF-8 text "%" and two upper-case hexadecimal digits.
  static std::string encodeURL(const std::string& text);
  // The same rule over the text's bytes in charset.
  static std::string encodeURL(const std::string& text, const platform::Charset& charset);
  static std::string encodeURL(const char* text) { return encodeURL(std::string(text)); }
  // Absent in, absent out.
  static std::optional<std::string> encodeURL(const std::optional<std::string>& text);

  // "+" becomes a blank and "%" with two hexadecimal digits (either case)
  // that byte; the bytes are read as UTF-8 (malformed ones as U+FFFD). A "%"
  // without two hexadecimal digits fails with platform::DecoderException.
  static std::string decodeURL(const std::string& text);
  static std::string decodeURL(const char* text) { return decodeURL(std::string(text)); }
  static std::optional<std::string> decodeURL(const std::optional<std::string>& text);
};

}  // namespace quorvelauction::common
