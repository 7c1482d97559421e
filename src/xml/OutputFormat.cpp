#include "xml/OutputFormat.h"

namespace xml {

OutputFormat OutputFormat::createCompactFormat() {
  OutputFormat format;
  format.trimText = true;
  return format;
}

OutputFormat OutputFormat::createPrettyPrint() {
  OutputFormat format;
  format.indent = "  ";
  format.newlines = true;
  format.trimText = true;
  return format;
}

}  // namespace xml
