#pragma once

#include "xml/Document.h"

namespace xml {

// Factory of documents made by code.
class DocumentHelper {
 public:
  // A new document without a root element.
  static Document createDocument() { return Document(); }
};

}  // namespace xml
