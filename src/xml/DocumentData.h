#pragma once

#include <pugixml.hpp>

#include "xml/PagePool.h"

namespace xml::detail {

// The tree behind a Document and all handles into it. Removed elements are
// moved below a hidden holder element instead of being freed, so a handle to
// a removed element stays readable for as long as the document lives.
struct DocumentData {
  // First member: the memory functions are in place before the tree exists.
  struct PoolInstalled {
    PoolInstalled() { PagePool::install(); }
  } poolInstalled;

  pugi::xml_document doc;
  pugi::xml_node removed;  // the holder, made on the first removal

  pugi::xml_node holder() {
    if (!removed) removed = doc.append_child(pugi::node_element);
    return removed;
  }
  // The document's element child that is not the holder, or null.
  pugi::xml_node root() const {
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
      if (n.type() == pugi::node_element && n != removed) return n;
    return pugi::xml_node();
  }
};

}  // namespace xml::detail
