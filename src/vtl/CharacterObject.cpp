#include "vtl/CharacterObject.h"

#include "platform/Strings.h"
#include "vtl/Value.h"

namespace vtl {

bool CharacterObject::invoke(std::string_view, std::span<const Value>, Value&) { return false; }

std::string CharacterObject::toString() const {
  return platform::Strings::fromUtf16(std::u16string(1, unit_));
}

bool CharacterObject::equals(const Object& other) const {
  auto* that = dynamic_cast<const CharacterObject*>(&other);
  return that && that->unit_ == unit_;
}

}  // namespace vtl
