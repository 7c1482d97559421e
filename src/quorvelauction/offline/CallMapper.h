#pragma once

#include <string_view>

#include "platform/Properties.h"

namespace quorvelauction::offline {

// Gives the positional parameters "a0", "a1", ... of a front-end call the
// names that the command handlers read. Holds no state.
class CallMapper {
 public:
  // Stores the value of "a" + i under the command's i-th parameter name.
  // A command that is not listed changes nothing. A positional value that
  // the request lacks raises NullPointerException (a property table holds
  // no absent values).
  static void map(std::string_view function, platform::Properties& props);
};

}  // namespace quorvelauction::offline
