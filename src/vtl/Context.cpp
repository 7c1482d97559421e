#include "vtl/Context.h"

namespace vtl {

void Context::put(std::string_view key, Value value) {
  if (value.isNull()) return;
  auto it = values_.find(key);
  if (it != values_.end()) {
    it->second = std::move(value);
  } else {
    values_.emplace(std::string(key), std::move(value));
  }
}

Value Context::get(std::string_view key) const {
  const Value* v = find(key);
  return v ? *v : Value();
}

const Value* Context::find(std::string_view key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

void Context::remove(std::string_view key) {
  auto it = values_.find(key);
  if (it != values_.end()) values_.erase(it);
}

std::vector<std::string> Context::getKeys() const {
  std::vector<std::string> keys;
  keys.reserve(values_.size());
  for (const auto& entry : values_) keys.push_back(entry.first);
  return keys;
}

}  // namespace vtl
