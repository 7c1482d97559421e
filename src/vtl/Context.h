#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "vtl/SymbolCells.h"
#include "vtl/Value.h"

namespace vtl {

// The named values a template sees; #set and #foreach write into it. A
// context belongs to one rendering at a time.
class Context {
 public:
  Context() = default;
  Context(const Context& other);
  Context& operator=(const Context& other);
  Context(Context&&) = default;
  Context& operator=(Context&&) = default;

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

  // The place that holds key's value, null while there is none. It stays at
  // the same address for the life of the context, so a rendering looks each
  // name up once; storing null there removes the key.
  Value& cell(std::string_view key, size_t hash);
  // The places of the variables of templates rendered with this context;
  // a copy starts without them.
  SymbolCells& symbolCells() { return symbolCells_; }

 private:
  struct Entry {
    std::string key;
    size_t hash;
    Value value;
  };
  Entry* lookup(std::string_view key, size_t hash) const;
  void grow();

  // Entries never move; a removed key keeps its entry with a null value.
  std::vector<std::unique_ptr<Entry>> entries_;
  // Open addressing with linear probing over entries_, at most half full.
  std::vector<Entry*> index_;
  SymbolCells symbolCells_;
};

}  // namespace vtl
