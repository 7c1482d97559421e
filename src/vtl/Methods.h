#pragma once

#include <span>
#include <string_view>

#include "vtl/Value.h"

namespace vtl {

// The operations templates may call on values: Java's methods of texts,
// integers, truth values, lists and arrays with Java's rules (UTF-16
// indexes, Java regular expressions), the operations an Object offers, and
// getClass, toString and equals on everything.
class Methods {
 public:
  // Runs name(args) on target into result. Returns false when the value has
  // no such operation for these arguments; a failing operation throws the
  // platform exception Java would throw (IndexOutOfBoundsException,
  // NullPointerException, PatternSyntaxException, ...).
  static bool invoke(const Value& target, std::string_view name, std::span<const Value> args,
                     Value& result);
};

}  // namespace vtl
