#include "vtl/Context.h"

namespace vtl {

size_t Context::hashOf(std::string_view key) {
  // FNV-1a: names are short, and this is cheap for them.
  uint64_t h = 1469598103934665603ull;
  for (char c : key) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return static_cast<size_t>(h ^ (h >> 29));
}

// The slot holding key, or the empty slot where it would go.
size_t Context::locate(std::string_view key, size_t hash) const {
  size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  while (slots_[i].used && !(slots_[i].hash == hash && slots_[i].key == key)) i = (i + 1) & mask;
  return i;
}

void Context::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_ = std::vector<Slot>(old.empty() ? 16 : old.size() * 2);
  for (Slot& slot : old) {
    if (!slot.used) continue;
    Slot& target = slots_[locate(slot.key, slot.hash)];
    target = std::move(slot);
  }
}

void Context::put(std::string_view key, size_t hash, Value value) {
  if (value.isNull()) return;
  if ((size_ + 1) * 2 > slots_.size()) grow();
  Slot& slot = slots_[locate(key, hash)];
  if (!slot.used) {
    slot.used = true;
    slot.hash = hash;
    slot.key.assign(key);
    ++size_;
  }
  slot.value = std::move(value);
}

Value Context::get(std::string_view key) const {
  const Value* v = find(key);
  return v ? *v : Value();
}

const Value* Context::find(std::string_view key, size_t hash) const {
  if (size_ == 0) return nullptr;
  const Slot& slot = slots_[locate(key, hash)];
  return slot.used ? &slot.value : nullptr;
}

void Context::remove(std::string_view key, size_t hash) {
  if (size_ == 0) return;
  size_t mask = slots_.size() - 1;
  size_t i = locate(key, hash);
  if (!slots_[i].used) return;
  slots_[i] = Slot();
  --size_;
  // Shift later members of the probe run back so lookups still find them.
  size_t hole = i;
  for (size_t j = (i + 1) & mask; slots_[j].used; j = (j + 1) & mask) {
    size_t home = slots_[j].hash & mask;
    bool movable = hole <= j ? (home <= hole || home > j) : (home <= hole && home > j);
    if (movable) {
      slots_[hole] = std::move(slots_[j]);
      slots_[j] = Slot();
      hole = j;
    }
  }
}

std::vector<std::string> Context::getKeys() const {
  std::vector<std::string> keys;
  keys.reserve(size_);
  for (const Slot& slot : slots_) {
    if (slot.used) keys.push_back(slot.key);
  }
  return keys;
}

}  // namespace vtl
