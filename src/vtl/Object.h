#pragma once

#include <span>
#include <string>
#include <string_view>

namespace vtl {

class Value;

// Something a template can call operations on: the engine knows no classes,
// so every value that is not a text, number, truth value or list offers its
// operations by name. Property forms ($x.name) are resolved by the engine to
// these operations (getName, then getname, then get("name"), then isName).
class Object {
 public:
  virtual ~Object() = default;

  // The class name templates see through $x.class.name.
  virtual std::string className() const = 0;

  // Runs the named operation. Returns false when this object has no
  // operation of that name for these arguments (the reference then stays
  // unresolved); an operation that fails throws, and the engine reports it
  // as a MethodInvocationException. A null result is left as a null Value.
  virtual bool invoke(std::string_view name, std::span<const Value> args, Value& result) = 0;

  // The text a reference to the object renders as.
  virtual std::string toString() const;

  // Equality for == and equals(); identity unless a class says otherwise.
  virtual bool equals(const Object& other) const { return this == &other; }
};

}  // namespace vtl
