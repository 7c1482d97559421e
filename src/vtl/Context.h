#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "vtl/Value.h"

namespace vtl {

// The named values a template sees; #set and #foreach write into it. A
// context belongs to one rendering at a time.
class Context {
 public:
  // Puts value under key; a null value changes nothing.
  void put(std::string_view key, Value value) { put(key, hashOf(key), std::move(value)); }
  // The value under key, null when there is none.
  Value get(std::string_view key) const;
  // The stored value, or nullptr.
  const Value* find(std::string_view key) const { return find(key, hashOf(key)); }
  bool containsKey(std::string_view key) const { return find(key) != nullptr; }
  void remove(std::string_view key) { remove(key, hashOf(key)); }
  std::vector<std::string> getKeys() const;

  // The same with the key's hash computed beforehand (the parser hashes
  // every variable name once).
  static size_t hashOf(std::string_view key);
  void put(std::string_view key, size_t hash, Value value);
  const Value* find(std::string_view key, size_t hash) const;
  void remove(std::string_view key, size_t hash);

 private:
  // Open addressing with linear probing; at most half the slots are used.
  struct Slot {
    size_t hash = 0;
    bool used = false;
    std::string key;
    Value value;
  };
  size_t locate(std::string_view key, size_t hash) const;
  void grow();

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

}  // namespace vtl
