#pragma once

#include <cstdint>
#include <string>

#include "platform/Exceptions.h"

namespace zentravilo::util {

// A parse failure that also says where reading stopped (a UTF-16 code-unit
// index into the text), as the day and money text formats report it.
class PositionedParseException : public platform::ParseException {
 public:
  PositionedParseException(const std::string& message, int32_t errorOffset)
      : platform::ParseException(message), errorOffset_(errorOffset) {}
  int32_t getErrorOffset() const { return errorOffset_; }

 private:
  int32_t errorOffset_;
};

}  // namespace zentravilo::util
