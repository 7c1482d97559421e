#include "vtl/Context.h"

#include <cstring>

namespace vtl {

Context::Context(const Context& other) { *this = other; }

Context& Context::operator=(const Context& other) {
  if (this == &other) return *this;
  entries_.clear();
  index_.clear();
  symbolCells_.clear();
  for (const auto& entry : other.entries_) {
    if (!entry->value.isNull()) put(entry->key, entry->hash, entry->value);
  }
  return *this;
}

size_t Context::hashOf(std::string_view key) {
  // Eight bytes at a time, then a final mix: names are short.
  uint64_t h = 0x9E3779B97F4A7C15ull ^ key.size();
  const char* p = key.data();
  size_t n = key.size();
  while (n >= 8) {
    uint64_t chunk;
    std::memcpy(&chunk, p, 8);
    h = (h ^ chunk) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
    p += 8;
    n -= 8;
  }
  uint64_t tail = 0;
  for (size_t i = 0; i < n; ++i) tail |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  h = (h ^ tail) * 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 29;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 32;
  return static_cast<size_t>(h);
}

Context::Entry* Context::lookup(std::string_view key, size_t hash) const {
  if (index_.empty()) return nullptr;
  size_t mask = index_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    Entry* entry = index_[i];
    if (!entry) return nullptr;
    if (entry->hash == hash && entry->key == key) return entry;
  }
}

void Context::grow() {
  index_.assign(index_.empty() ? 16 : index_.size() * 2, nullptr);
  size_t mask = index_.size() - 1;
  for (const auto& entry : entries_) {
    size_t i = entry->hash & mask;
    while (index_[i]) i = (i + 1) & mask;
    index_[i] = entry.get();
  }
}

Value& Context::cell(std::string_view key, size_t hash) {
  if (Entry* entry = lookup(key, hash)) return entry->value;
  if ((entries_.size() + 1) * 2 > index_.size()) grow();
  entries_.push_back(std::make_unique<Entry>(Entry{std::string(key), hash, Value()}));
  Entry* entry = entries_.back().get();
  size_t mask = index_.size() - 1;
  size_t i = hash & mask;
  while (index_[i]) i = (i + 1) & mask;
  index_[i] = entry;
  return entry->value;
}

void Context::put(std::string_view key, size_t hash, Value value) {
  if (value.isNull()) return;
  cell(key, hash) = std::move(value);
}

Value Context::get(std::string_view key) const {
  const Value* v = find(key);
  return v ? *v : Value();
}

const Value* Context::find(std::string_view key, size_t hash) const {
  Entry* entry = lookup(key, hash);
  return entry && !entry->value.isNull() ? &entry->value : nullptr;
}

void Context::remove(std::string_view key, size_t hash) {
  if (Entry* entry = lookup(key, hash)) entry->value = Value();
}

std::vector<std::string> Context::getKeys() const {
  std::vector<std::string> keys;
  for (const auto& entry : entries_) {
    if (!entry->value.isNull()) keys.push_back(entry->key);
  }
  return keys;
}

}  // namespace vtl
