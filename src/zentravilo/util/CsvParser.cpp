#include "zentravilo/util/CsvParser.h"

#include "platform/BufferedReader.h"
#include "platform/InputStreamReader.h"
#include "platform/Strings.h"

namespace zentravilo::util {

CsvParser::Row CsvParser::split(std::string_view line, std::string_view separators) {
  Row values;
  std::string value;
  int state = START;
  for (const char c : line) {
    const bool separator = separators.find(c) != std::string_view::npos;
    switch (state) {
      case START:
        if (c == '"') {
          state = QUOTE1;
        } else if (separator) {
          values.push_back(std::move(value));
          value.clear();
        } else {
          value.push_back(c);
        }
        break;
      case QUOTE1:
        if (c == '"') {
          state = QUOTE2;
        } else {
          value.push_back(c);
        }
        break;
      case QUOTE2:
        if (c == '"') {
          value.push_back('"');
          state = QUOTE1;
        } else if (separator) {
          values.push_back(std::move(value));
          value.clear();
          state = START;
        } else {
          value.push_back(c);
          state = START;
        }
        break;
    }
  }
  values.push_back(std::move(value));
  return values;
}

void CsvParser::readText(std::string_view text, std::string_view separators, Row& header,
                         std::vector<Row>& rows) {
  const std::vector<std::string> pieces = platform::Strings::split(text, "\n");
  header.clear();
  rows.clear();
  if (pieces.empty()) return;
  header = split(pieces[0], separators);
  for (size_t i = 1; i < pieces.size(); ++i) rows.push_back(split(pieces[i], separators));
}

void CsvParser::readStream(platform::InputStream& in, const platform::Charset& charset,
                           std::string_view separators, Row& header, std::vector<Row>& rows) {
  platform::InputStreamReader decoder(in, charset);
  platform::BufferedReader reader(decoder);
  header.clear();
  rows.clear();
  bool first = true;
  std::string line;
  while (reader.readLine(line)) {
    const std::string trimmed = platform::Strings::trim(line);
    if (trimmed.empty()) continue;
    if (first) {
      header = split(trimmed, separators);
      first = false;
    } else {
      rows.push_back(split(trimmed, separators));
    }
  }
}

}  // namespace zentravilo::util
