#pragma once

#include <string>

namespace xml {

// A namespace declaration of an element: prefix ("" for the default
// namespace) and URI.
struct Namespace {
  std::string prefix;
  std::string uri;
  bool operator==(const Namespace&) const = default;
};

}  // namespace xml
