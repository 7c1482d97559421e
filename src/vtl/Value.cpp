#include "vtl/Value.h"

#include <charconv>
#include <cstdio>
#include <memory>

namespace vtl {

namespace {

// Java prints an object without its own text as class name, "@" and an
// identity hash; the address stands in for the hash.
std::string identityText(const std::string& className, const void* address) {
  char hash[32];
  std::snprintf(hash, sizeof hash, "@%x",
                static_cast<unsigned>(reinterpret_cast<uintptr_t>(address) >> 4));
  return className + hash;
}

}  // namespace

std::string Object::toString() const { return identityText(className(), this); }

Value::Value(const std::optional<std::string>& s) : int_(0) {
  if (s) {
    std::construct_at(&string_, *s);
    kind_ = Kind::kString;
  }
}

Value::Value(std::shared_ptr<List> list) : int_(0) {
  if (list) {
    std::construct_at(&list_, std::move(list));
    kind_ = Kind::kList;
  }
}

Value::Value(std::shared_ptr<Object> object) : int_(0) {
  if (object) {
    std::construct_at(&object_, std::move(object));
    kind_ = Kind::kObject;
  }
}

void Value::copySharedFrom(const Value& other) {
  if (other.kind_ == Kind::kList) {
    std::construct_at(&list_, other.list_);
  } else {
    std::construct_at(&object_, other.object_);
  }
}

void Value::moveSharedFrom(Value& other) noexcept {
  if (other.kind_ == Kind::kList) {
    std::construct_at(&list_, std::move(other.list_));
    std::destroy_at(&other.list_);
  } else {
    std::construct_at(&object_, std::move(other.object_));
    std::destroy_at(&other.object_);
  }
  other.kind_ = Kind::kNull;
  other.int_ = 0;
}

void Value::destroyShared() noexcept {
  if (kind_ == Kind::kList) {
    std::destroy_at(&list_);
  } else {
    std::destroy_at(&object_);
  }
}

void Value::moveAssignOther(Value& other) noexcept {
  // Taken first: other may live inside what this value holds.
  Value taken(std::move(other));
  this->~Value();
  std::construct_at(this, std::move(taken));
}

Value Value::stringList(const std::vector<std::string>& items) {
  auto list = std::make_shared<List>();
  list->items.reserve(items.size());
  for (const std::string& item : items) list->items.emplace_back(item);
  return Value(std::move(list));
}

void Value::appendOtherTo(std::string& out) const {
  switch (kind_) {
    case Kind::kNull:
      out += "null";
      return;
    case Kind::kBool:
      out += int_ ? "true" : "false";
      return;
    case Kind::kInt: {
      char digits[16];
      auto result = std::to_chars(digits, digits + sizeof digits, int_);
      out.append(digits, result.ptr);
      return;
    }
    case Kind::kString:
      out += string_;
      return;
    case Kind::kList:
      if (list_->isArray()) {
        out += identityText(list_->arrayClass, list_.get());
        return;
      }
      out += '[';
      for (size_t i = 0; i < list_->items.size(); ++i) {
        if (i > 0) out += ", ";
        list_->items[i].appendTo(out);
      }
      out += ']';
      return;
    case Kind::kObject:
      out += object_->toString();
      return;
  }
}

std::string Value::toString() const {
  if (kind_ == Kind::kString) return string_;
  std::string out;
  appendTo(out);
  return out;
}

bool Value::equals(const Value& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::kNull:
      return true;
    case Kind::kBool:
    case Kind::kInt:
      return int_ == other.int_;
    case Kind::kString:
      return string_ == other.string_;
    case Kind::kList: {
      if (list_ == other.list_) return true;
      if (list_->isArray() || other.list_->isArray()) return false;
      const auto& a = list_->items;
      const auto& b = other.list_->items;
      if (a.size() != b.size()) return false;
      for (size_t i = 0; i < a.size(); ++i) {
        if (!a[i].equals(b[i])) return false;
      }
      return true;
    }
    case Kind::kObject:
      return object_->className() == other.object_->className() && object_->equals(*other.object_);
  }
  return false;
}

std::string Value::className() const {
  switch (kind_) {
    case Kind::kNull:
      return "null";
    case Kind::kBool:
      return "java.lang.Boolean";
    case Kind::kInt:
      return "java.lang.Integer";
    case Kind::kString:
      return "java.lang.String";
    case Kind::kList:
      return list_->isArray() ? list_->arrayClass : "java.util.ArrayList";
    case Kind::kObject:
      return object_->className();
  }
  return "null";
}

}  // namespace vtl
