#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"

namespace zentravilo::util {

// An editable table of ";"-separated values: a header row of column names
// and data rows of any width. Files are read and saved directly on the disk
// in ISO-8859-9.
class Csv {
 public:
  using Row = std::vector<std::string>;

  // The whole table as text, split at line feeds (see CsvParser::readText).
  explicit Csv(std::string_view text);
  // Reads the file; lines are trimmed and empty ones skipped. Open and read
  // failures are raised.
  explicit Csv(const platform::File& file);

  void setValues(std::vector<Row> rows) { lines = std::move(rows); }
  // IndexOutOfBoundsException outside the row.
  void setValueAt(std::string value, int row, int column);
  // Writes every row, each value quoted with inner quotes doubled, joined by
  // ";", each row ended by a line feed. Open and write failures are raised.
  void save(const platform::File& file) const;
  // Keeps only the data rows with a non-empty value.
  void removeEmptyLines();
  // Drops empty rows and rows whose second and third values, ignoring case,
  // came before; rows with both of those empty stay.
  void removeDuplicates();
  bool lastLineIsEmpty() const;
  // "" outside the table or the row.
  std::string getValueAt(int row, int column) const;
  // The value in the first column of that name, "" when there is no such
  // column or the row is shorter; IndexOutOfBoundsException for a row
  // index outside the rows.
  std::string getValue(int row, std::string_view column) const;
  std::vector<Row>& getLines() { return lines; }
  const std::vector<Row>& getLines() const { return lines; }
  int getLineCount() const { return static_cast<int>(lines.size()); }
  int getColumnCount() const { return static_cast<int>(fields.size()); }
  // IndexOutOfBoundsException outside the header.
  std::string getColumn(int index) const;
  void addLine(Row row) { lines.push_back(std::move(row)); }
  // A row of as many empty values as the header has columns.
  void addLine() { lines.emplace_back(fields.size()); }

  static bool isEmpty(const Row& row);
  // Prints the rows of a small built-in table on standard output.
  static void main(const std::vector<std::string>& args);
  static Row split(std::string_view line);

 private:
  void saveLine(const Row& row, std::string& out) const;

  Row fields;
  std::vector<Row> lines;
};

}  // namespace zentravilo::util
