#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace xml {

namespace detail {
struct DocumentData;
}
class Element;

// A handle to one attribute of an element (namespace declarations are not
// attributes here). A default-made handle is null: every accessor then fails
// with platform::NullPointerException. The handle keeps its document alive; it
// names the attribute by its element and qualified name, so after the
// attribute was removed its value reads as the empty text and setValue does
// nothing.
class Attribute {
 public:
  Attribute() = default;

  explicit operator bool() const { return owner_ != nullptr; }
  bool isNull() const { return !owner_; }

  // Local name (without prefix), qualified name and prefix.
  std::string getName() const;
  const std::string& getQualifiedName() const;
  std::string getNamespacePrefix() const;

  std::string getValue() const;
  std::string getText() const { return getValue(); }
  void setValue(std::string_view value);

  // The element that carries the attribute.
  Element getParent() const;

  bool operator==(const Attribute& other) const {
    return owner_ == other.owner_ && name_ == other.name_;
  }

 private:
  friend class Element;
  Attribute(std::shared_ptr<detail::DocumentData> doc, pugi::xml_node owner, std::string name);
  pugi::xml_attribute find() const;
  void check() const;

  std::shared_ptr<detail::DocumentData> doc_;
  pugi::xml_node owner_;
  std::string name_;
};

}  // namespace xml
