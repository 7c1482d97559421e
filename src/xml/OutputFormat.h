#pragma once

#include <string>

namespace xml {

// The layout XMLWriter writes. The default writes nodes as they stand: no
// indentation, no added line breaks, text untrimmed.
struct OutputFormat {
  std::string encoding = "UTF-8";  // named in the declaration
  std::string lineSeparator = "\n";
  std::string indent;              // per level; "" for none
  bool newlines = false;           // put child nodes on lines of their own
  bool trimText = false;           // trim text, write inner white-space runs as one blank

  // No indentation, no line breaks, trimmed text.
  static OutputFormat createCompactFormat();
  // Two blanks per level, line breaks, trimmed text.
  static OutputFormat createPrettyPrint();
};

}  // namespace xml
