#include "quorvelauction/common/CSVReader.h"

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "zentravilo/util/CsvParser.h"

namespace quorvelauction::common {

namespace {

constexpr std::string_view kSeparators = ",;";

std::string indexMessage(int index, size_t size) {
  return "Index: " + std::to_string(index) + ", Size: " + std::to_string(size);
}

}  // namespace

CSVReader::CSVReader(std::string_view text) {
  zentravilo::util::CsvParser::readText(text, kSeparators, fields, lines);
}

CSVReader::CSVReader(const platform::File& file) {
  platform::InputStreamPtr in = GlobalConfig::createFileInputStream(file);
  zentravilo::util::CsvParser::readStream(*in, platform::Charset::iso88591(), kSeparators, fields,
                                          lines);
  in->close();
}

std::string CSVReader::getValue(int row, std::string_view column) const {
  if (row < 0 || static_cast<size_t>(row) >= lines.size()) {
    throw platform::IndexOutOfBoundsException(indexMessage(row, lines.size()));
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i] == column) return i < lines[row].size() ? lines[row][i] : "";
  }
  return "";
}

int32_t CSVReader::getIntValue(int row, std::string_view column) const {
  return platform::Integers::parseInt(getValue(row, column));
}

std::string CSVReader::getColumn(int index) const {
  if (index < 0 || index >= getColumnCount()) {
    throw platform::IndexOutOfBoundsException(indexMessage(index, fields.size()));
  }
  return fields[index];
}

}  // namespace quorvelauction::common
