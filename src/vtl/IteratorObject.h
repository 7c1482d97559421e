#pragma once

#include <memory>
#include <string>

#include "vtl/Object.h"

namespace vtl {

struct List;

// A list's iterator (java.util.ArrayList$Itr): hasNext and next, and
// walked by #foreach from where it stands.
class IteratorObject : public Object {
 public:
  explicit IteratorObject(std::shared_ptr<List> list) : list_(std::move(list)) {}

  std::string className() const override { return "java.util.ArrayList$Itr"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;

  bool hasNext() const;
  // The next item; fails when there is none.
  const Value& next();

 private:
  std::shared_ptr<List> list_;
  size_t position_ = 0;
};

}  // namespace vtl
