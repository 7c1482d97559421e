#pragma once

#include <string_view>

#include "platform/InputStream.h"
#include "platform/Reader.h"
#include "xml/Document.h"
#include "xml/DocumentException.h"

namespace xml {

// Parses XML text into a Document. Input is always read as UTF-8 whatever
// the declaration names (a leading byte-order mark is skipped; malformed
// byte sequences read as U+FFFD). No DTD and no external entity is ever
// loaded: a reference to an entity other than the five predefined ones is a
// parse error. Text that is not well-formed fails with DocumentException,
// whose message gives line and column. Deep nesting is fine: nothing recurses.
class SAXReader {
 public:
  Document read(std::string_view text) const;
  // Reads the stream to its end (it is not closed) and parses the bytes.
  Document read(platform::InputStream& in) const;
  // Reads the text to its end (it is not closed) and parses it.
  Document read(platform::Reader& in) const;
};

}  // namespace xml
