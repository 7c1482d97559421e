#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace platform {

// Failures of name resolution and of opening a connection.

class UnknownHostException : public IOException {
 public:
  explicit UnknownHostException(const std::string& message = "") : IOException(message) {}
  const char* typeName() const override { return "UnknownHostException"; }
};

class ConnectException : public SocketException {
 public:
  explicit ConnectException(const std::string& message = "") : SocketException(message) {}
  const char* typeName() const override { return "ConnectException"; }
};

// A connect or a read that met its time-out.
class SocketTimeoutException : public IOException {
 public:
  explicit SocketTimeoutException(const std::string& message = "") : IOException(message) {}
  const char* typeName() const override { return "SocketTimeoutException"; }
};

}  // namespace platform
