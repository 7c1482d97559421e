#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/Charset.h"
#include "platform/InputStream.h"

namespace zentravilo::util {

// Reads character-separated tables: a header row and data rows of texts.
// Shared by the table classes, which differ in their separators and their
// files' character set.
class CsvParser {
 public:
  using Row = std::vector<std::string>;

  // The states of the line parser.
  static constexpr int START = 0;   // outside quotes
  static constexpr int QUOTE1 = 1;  // inside a quoted stretch
  static constexpr int QUOTE2 = 2;  // a quote seen inside a quoted stretch

  // The values of one line; any of the separator characters ends a value
  // outside quotes. A doubled quote inside quotes is one quote. Every line
  // yields at least one value. Works on bytes: only ASCII characters have a
  // meaning, so UTF-8 passes through whole.
  static Row split(std::string_view line, std::string_view separators);

  // A whole table as text: the pieces between line feeds (empty ones at the
  // very end dropped, carriage returns kept), the first the header. A text
  // with no pieces gives an empty header and no rows.
  static void readText(std::string_view text, std::string_view separators, Row& header,
                       std::vector<Row>& rows);

  // A table from a stream in the given character set: lines trimmed, empty
  // ones skipped, the first the header. Does not close the stream.
  static void readStream(platform::InputStream& in, const platform::Charset& charset,
                         std::string_view separators, Row& header, std::vector<Row>& rows);
};

}  // namespace zentravilo::util
