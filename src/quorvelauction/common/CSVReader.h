#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"

namespace quorvelauction::common {

// A read-only table of values separated by "," or ";": a header row of
// column names and data rows of any width. Files are opened through the
// file stream factory (so scrambled storage applies) and read as ISO-8859-1.
class CSVReader {
 public:
  // The whole table as text, split at line feeds; carriage returns stay.
  explicit CSVReader(std::string_view text);
  // Reads the file; lines are trimmed and empty ones skipped. Open and read
  // failures are raised.
  explicit CSVReader(const platform::File& file);

  // The value in the first column of that name, "" when there is no such
  // column or the row is shorter; IndexOutOfBoundsException for a row index
  // outside the rows.
  std::string getValue(int row, std::string_view column) const;
  int getLineCount() const { return static_cast<int>(lines.size()); }
  // getValue as a decimal 32-bit integer; NumberFormatException otherwise.
  int32_t getIntValue(int row, std::string_view column) const;
  int getColumnCount() const { return static_cast<int>(fields.size()); }
  // IndexOutOfBoundsException outside the header.
  std::string getColumn(int index) const;

 private:
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> lines;
};

}  // namespace quorvelauction::common
