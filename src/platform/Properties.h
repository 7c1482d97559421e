#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/InputStream.h"
#include "platform/OutputStream.h"
#include "platform/Reader.h"

namespace platform {

// A table of text keys and values, kept in insertion order, that reads and
// writes the standard properties-file format: lines of key, separator and
// value; "#" and "!" comment lines; "\" continuation lines; the escapes
// \t \n \r \f \uXXXX and "\" before any other character.
class Properties {
 public:
  std::optional<std::string> getProperty(std::string_view key) const;
  std::string getProperty(std::string_view key, std::string_view defaultValue) const;
  std::optional<std::string> get(std::string_view key) const { return getProperty(key); }
  // Returns the value the key had before.
  std::optional<std::string> setProperty(std::string_view key, std::string_view value);
  // setProperty that takes the texts over instead of copying them.
  void put(std::string key, std::string value);
  std::optional<std::string> remove(std::string_view key);
  bool containsKey(std::string_view key) const { return index_.count(std::string(key)) > 0; }

  // The keys in the order they were first set.
  std::vector<std::string> keys() const;
  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void clear();

  // Adds the entries of a properties file read as ISO-8859-1 bytes. A
  // malformed \u escape fails with IllegalArgumentException("Malformed
  // \\uxxxx encoding."); entries before it are kept.
  void load(InputStream& in);
  // The same over text.
  void load(Reader& in);

  // Writes every entry in ISO-8859-1: a comment line for comments (when
  // given), a line with the current date, then one "key=value" line per
  // entry, every character outside U+0020..U+007E as \uXXXX (upper-case
  // digits). Flushes but does not close the stream.
  void store(OutputStream& out, const std::optional<std::string>& comments) const;

 private:
  class LineReader;
  void loadLines(LineReader& lines);

  std::vector<std::pair<std::string, std::string>> entries_;
  std::unordered_map<std::string, size_t> index_;
};

}  // namespace platform
