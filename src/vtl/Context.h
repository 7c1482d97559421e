#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vtl/Value.h"

namespace vtl {

// The named values a template sees; #set and #foreach write into it. A
// context belongs to one rendering at a time.
class Context {
 public:
  // Puts value under key; a null value changes nothing.
  void put(std::string_view key, Value value);
  // The value under key, null when there is none.
  Value get(std::string_view key) const;
  // The stored value, or nullptr.
  const Value* find(std::string_view key) const;
  bool containsKey(std::string_view key) const { return find(key) != nullptr; }
  void remove(std::string_view key);
  std::vector<std::string> getKeys() const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, Value, Hash, std::equal_to<>> values_;
};

}  // namespace vtl
