#include "xml/Document.h"

#include "platform/Exceptions.h"
#include "xml/DocumentData.h"
#include "xml/Names.h"
#include "xml/XMLWriter.h"

namespace xml {

Document::Document() : data_(std::make_shared<detail::DocumentData>()) {}

Document::Document(std::shared_ptr<detail::DocumentData> data) : data_(std::move(data)) {}

Element Document::getRootElement() const {
  pugi::xml_node root = data_->root();
  return root ? Element(data_, root) : Element();
}

Element Document::addElement(std::string_view name) {
  if (data_->root()) throw platform::IllegalStateException("the document already has a root element");
  if (!detail::isWritableName(name))
    throw platform::IllegalArgumentException("not a valid XML name: \"" + std::string(name) + "\"");
  pugi::xml_node root = data_->removed ? data_->doc.insert_child_before(pugi::node_element, data_->removed)
                                       : data_->doc.append_child(pugi::node_element);
  root.set_name(std::string(name).c_str());
  return Element(data_, root);
}

std::string Document::asXML() const { return XMLWriter().toString(*this); }

}  // namespace xml
