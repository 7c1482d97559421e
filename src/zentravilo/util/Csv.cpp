#include "zentravilo/util/Csv.h"

#include <set>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/System.h"
#include "zentravilo/util/CsvParser.h"

namespace zentravilo::util {

namespace {

constexpr std::string_view kSeparators = ";";
constexpr std::string_view kCharset = "iso-8859-9";

std::string lowerCase(const std::string& text) {
  std::string out;
  icu::UnicodeString::fromUTF8(text).toLower(icu::Locale::getDefault()).toUTF8String(out);
  return out;
}

std::string indexMessage(int index, size_t size) {
  return "Index: " + std::to_string(index) + ", Size: " + std::to_string(size);
}

}  // namespace

Csv::Csv(std::string_view text) { CsvParser::readText(text, kSeparators, fields, lines); }

Csv::Csv(const platform::File& file) {
  platform::FileInputStream in(file);
  CsvParser::readStream(in, platform::Charset::forName(kCharset), kSeparators, fields, lines);
  in.close();
}

Csv::Row Csv::split(std::string_view line) { return CsvParser::split(line, kSeparators); }

void Csv::setValueAt(std::string value, int row, int column) {
  if (row < 0 || static_cast<size_t>(row) >= lines.size()) {
    throw platform::IndexOutOfBoundsException(indexMessage(row, lines.size()));
  }
  Row& values = lines[row];
  if (column < 0 || static_cast<size_t>(column) >= values.size()) {
    throw platform::IndexOutOfBoundsException(indexMessage(column, values.size()));
  }
  values[column] = std::move(value);
}

void Csv::saveLine(const Row& row, std::string& out) const {
  if (row.empty()) return;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i > 0) out += ';';
    out += '"';
    for (const char c : row[i]) {
      if (c == '"') out += '"';
      out += c;
    }
    out += '"';
  }
  out += '\n';
}

void Csv::save(const platform::File& file) const {
  std::string text;
  saveLine(fields, text);
  for (const Row& row : lines) saveLine(row, text);
  const std::string bytes = platform::Charset::forName(kCharset).encode(text);
  platform::FileOutputStream out(file);
  out.write(bytes);
  out.close();
}

void Csv::removeEmptyLines() {
  std::vector<Row> kept;
  for (Row& row : lines) {
    if (!isEmpty(row)) kept.push_back(std::move(row));
  }
  lines = std::move(kept);
}

void Csv::removeDuplicates() {
  std::vector<Row> kept;
  std::set<std::string> seen;
  for (Row& row : lines) {
    if (isEmpty(row)) continue;
    // A row too short for the key columns counts as empty there.
    const std::string second = row.size() > 1 ? row[1] : "";
    const std::string third = row.size() > 2 ? row[2] : "";
    if (!second.empty() || !third.empty()) {
      const std::string key = "[" + lowerCase(second) + "][" + lowerCase(third) + "]";
      if (!seen.insert(key).second) continue;
    }
    kept.push_back(std::move(row));
  }
  lines = std::move(kept);
}

bool Csv::lastLineIsEmpty() const { return !lines.empty() && isEmpty(lines.back()); }

std::string Csv::getValueAt(int row, int column) const {
  if (row < 0 || row >= getLineCount() || column < 0 || column >= getColumnCount()) return "";
  const Row& values = lines[row];
  return static_cast<size_t>(column) < values.size() ? values[column] : "";
}

std::string Csv::getValue(int row, std::string_view column) const {
  if (row < 0 || static_cast<size_t>(row) >= lines.size()) {
    throw platform::IndexOutOfBoundsException(indexMessage(row, lines.size()));
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == column) return i < lines[row].size() ? lines[row][i] : "";
  }
  return "";
}

std::string Csv::getColumn(int index) const {
  if (index < 0 || index >= getColumnCount()) {
    throw platform::IndexOutOfBoundsException(indexMessage(index, fields.size()));
  }
  return fields[index];
}

bool Csv::isEmpty(const Row& row) {
  for (const std::string& value : row) {
    if (!value.empty()) return false;
  }
  return true;
}

void Csv::main(const std::vector<std::string>&) {
  const Csv csv("field1;field2;field3\na;b;c\n1;2;3\nl1;l2;l3\n");
  platform::PrintStream& out = platform::System::out();
  for (int i = 0; i < csv.getLineCount(); ++i) {
    out.print(std::to_string(i) + " " + csv.getValue(i, "field1") + " " + csv.getValue(i, "field2") +
              " " + csv.getValue(i, "field3"));
  }
  out.flush();
}

}  // namespace zentravilo::util
