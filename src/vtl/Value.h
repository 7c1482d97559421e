#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vtl/Object.h"

namespace vtl {

struct List;

// One value of a template: null, a truth value, a 32-bit integer, a text
// (UTF-8), a list (or array) of values, or an object with named operations.
// Copies share lists and objects, as Java references do. The payload is one
// member chosen by the kind, so copying a number touches only the number.
class Value {
 public:
  enum class Kind : uint8_t { kNull, kBool, kInt, kString, kList, kObject };

  Value() noexcept : int_(0) {}
  Value(bool b) noexcept : kind_(Kind::kBool), int_(b ? 1 : 0) {}
  Value(int32_t i) noexcept : kind_(Kind::kInt), int_(i) {}
  Value(std::string s) noexcept : kind_(Kind::kString), string_(std::move(s)) {}
  Value(std::string_view s) : kind_(Kind::kString), string_(s) {}
  Value(const char* s) : kind_(Kind::kString), string_(s) {}
  // An absent text is null.
  Value(const std::optional<std::string>& s);
  Value(std::shared_ptr<List> list);
  Value(std::shared_ptr<Object> object);
  // A list of texts (java.util.ArrayList).
  static Value stringList(const std::vector<std::string>& items);

  // Numbers, truth values and texts are copied inline; lists and objects
  // out of line.
  Value(const Value& other) : kind_(other.kind_) {
    if (kind_ == Kind::kString) {
      std::construct_at(&string_, other.string_);
    } else if (owns()) {
      copySharedFrom(other);
    } else {
      int_ = other.int_;
    }
  }
  // A moved text leaves an empty text behind, a moved list or object null.
  Value(Value&& other) noexcept : kind_(other.kind_) {
    if (kind_ == Kind::kString) {
      std::construct_at(&string_, std::move(other.string_));
    } else if (owns()) {
      moveSharedFrom(other);
    } else {
      int_ = other.int_;
    }
  }
  Value& operator=(const Value& other) {
    if (!owns() && !other.owns()) {
      kind_ = other.kind_;
      int_ = other.int_;
    } else if (kind_ == Kind::kString && other.kind_ == Kind::kString) {
      string_ = other.string_;  // reuses this text's buffer
    } else if (!owns() && other.kind_ == Kind::kString) {
      std::construct_at(&string_, other.string_);
      kind_ = Kind::kString;
    } else if (this != &other) {
      // other may live inside what this value holds (an item of its list).
      Value copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  Value& operator=(Value&& other) noexcept {
    if (!owns() && !other.owns()) {
      kind_ = other.kind_;
      int_ = other.int_;
    } else if (kind_ == Kind::kString && other.kind_ == Kind::kString) {
      string_ = std::move(other.string_);
    } else if (!owns()) {
      std::construct_at(this, std::move(other));  // nothing to give up first
    } else if (this != &other) {
      moveAssignOther(other);
    }
    return *this;
  }
  ~Value() {
    if (kind_ == Kind::kString) {
      std::destroy_at(&string_);
    } else if (owns()) {
      destroyShared();
    }
  }

  // Makes this value the text, reusing the buffer of a text it holds.
  void setText(std::string_view text) {
    if (kind_ != Kind::kString) {
      *this = Value(text);
    } else if (viewsOwnText(text)) {
      string_.assign(text);
    } else {
      string_.clear();  // clear and append: a shorter path than assign
      string_.append(text);
    }
  }

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::kNull; }
  bool isBool() const { return kind_ == Kind::kBool; }
  bool isInt() const { return kind_ == Kind::kInt; }
  bool isString() const { return kind_ == Kind::kString; }
  bool isList() const { return kind_ == Kind::kList; }
  bool isObject() const { return kind_ == Kind::kObject; }

  // Each accessor is for its own kind only (asBool and asInt also read a
  // truth value as 0 or 1).
  bool asBool() const { return int_ != 0; }
  int32_t asInt() const { return int_; }
  const std::string& asString() const { return string_; }
  const std::shared_ptr<List>& asList() const { return list_; }
  const std::shared_ptr<Object>& asObject() const { return object_; }

  // #if truth: null is false, a truth value is itself, anything else true.
  bool truthy() const { return kind_ == Kind::kBool ? int_ != 0 : kind_ != Kind::kNull; }

  // The text the value renders as (Java's toString); null renders as "null".
  std::string toString() const;
  void appendTo(std::string& out) const {
    if (kind_ == Kind::kString) {
      out += string_;
    } else {
      appendOtherTo(out);
    }
  }

  // Java's equals: values of different classes are never equal.
  bool equals(const Value& other) const;

  // The Java class name ("java.lang.String", "[Ljava.lang.String;", ...).
  std::string className() const;

 private:
  bool viewsOwnText(std::string_view text) const {
    std::less_equal<const char*> atOrBefore;
    return atOrBefore(string_.data(), text.data()) && atOrBefore(text.data(), string_.data() + string_.size());
  }
  // Whether the payload needs destruction.
  bool owns() const { return kind_ >= Kind::kString; }
  // For a list or an object.
  void copySharedFrom(const Value& other);
  void moveSharedFrom(Value& other) noexcept;
  void destroyShared() noexcept;
  // Where either side holds a list or an object.
  void moveAssignOther(Value& other) noexcept;
  void appendOtherTo(std::string& out) const;

  Kind kind_ = Kind::kNull;
  union {
    int32_t int_;  // a truth value as 0 or 1
    std::string string_;
    std::shared_ptr<List> list_;
    std::shared_ptr<Object> object_;
  };
};

// A list (java.util.ArrayList) or an array; arrays have an element class and
// render as Java prints arrays.
struct List {
  std::vector<Value> items;
  // Empty for a list; the array's class name ("[Ljava.lang.String;", "[B").
  std::string arrayClass;

  bool isArray() const { return !arrayClass.empty(); }
};

}  // namespace vtl
