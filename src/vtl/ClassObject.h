#pragma once

#include <string>

#include "vtl/Object.h"

namespace vtl {

// What getClass() gives a template: a class known by its name.
class ClassObject : public Object {
 public:
  explicit ClassObject(std::string name) : name_(std::move(name)) {}

  std::string className() const override { return "java.lang.Class"; }
  bool invoke(std::string_view name, std::span<const Value> args, Value& result) override;
  std::string toString() const override;
  bool equals(const Object& other) const override;

 private:
  std::string name_;
};

}  // namespace vtl
