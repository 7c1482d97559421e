#pragma once

#include <string>

#include "vtl/Object.h"

namespace vtl {

// One UTF-16 code unit, as charAt gives it (java.lang.Character).
class CharacterObject : public Object {
 public:
  explicit CharacterObject(char16_t unit) : unit_(unit) {}

  std::string className() const override { return "java.lang.Character"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;
  std::string toString() const override;
  bool equals(const Object& other) const override;

 private:
  char16_t unit_;
};

}  // namespace vtl
