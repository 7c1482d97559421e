#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace xml {

// A text that is not a well-formed XML document. The message says where the
// reading stopped ("Error on line L, column C: ...").
class DocumentException : public platform::Exception {
 public:
  explicit DocumentException(const std::string& message) : platform::Exception(message) {}
  const char* typeName() const override { return "DocumentException"; }
};

}  // namespace xml
