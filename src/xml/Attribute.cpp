#include "xml/Attribute.h"

#include "platform/Exceptions.h"
#include "xml/DocumentData.h"
#include "xml/Element.h"
#include "xml/Names.h"

namespace xml {

Attribute::Attribute(std::shared_ptr<detail::DocumentData> doc, pugi::xml_node owner,
                     std::string name)
    : doc_(std::move(doc)), owner_(owner), name_(std::move(name)) {}

void Attribute::check() const {
  if (!owner_) throw platform::NullPointerException("attribute is null");
}

pugi::xml_attribute Attribute::find() const {
  check();
  return owner_.attribute(name_.c_str());
}

std::string Attribute::getName() const {
  check();
  return std::string(detail::localOf(name_));
}

const std::string& Attribute::getQualifiedName() const {
  check();
  return name_;
}

std::string Attribute::getNamespacePrefix() const {
  check();
  return std::string(detail::prefixOf(name_));
}

std::string Attribute::getValue() const {
  pugi::xml_attribute a = find();
  return a ? std::string(a.value()) : std::string();
}

void Attribute::setValue(std::string_view value) {
  pugi::xml_attribute a = find();
  if (a) a.set_value(value.data(), value.size());
}

Element Attribute::getParent() const {
  check();
  return Element(doc_, owner_);
}

}  // namespace xml
