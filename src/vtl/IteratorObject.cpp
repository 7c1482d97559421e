#include "vtl/IteratorObject.h"

#include "platform/Exceptions.h"
#include "vtl/Value.h"

namespace vtl {

bool IteratorObject::hasNext() const { return position_ < list_->items.size(); }

const Value& IteratorObject::next() {
  if (!hasNext()) throw platform::RuntimeException("java.util.NoSuchElementException");
  return list_->items[position_++];
}

bool IteratorObject::invoke(std::string_view name, std::span<const Value> args, Value& result) {
  if (!args.empty()) return false;
  if (name == "hasNext") {
    result = Value(hasNext());
  } else if (name == "next") {
    result = next();
  } else {
    return false;
  }
  return true;
}

}  // namespace vtl
