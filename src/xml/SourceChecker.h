#pragma once

#include <string_view>
#include <unordered_set>
#include <vector>

namespace xml::detail {

// The well-formedness rules that pugixml does not enforce, checked on the
// source text of a document pugixml has accepted: one root element and no
// text outside it, references only to the five predefined entities or to
// valid characters, no "<" in attribute values, no "]]>" in text, no
// attribute twice in a tag, every prefix bound, the XML declaration only at
// the very start. One pass over the text, no recursion. A violation fails
// with DocumentException giving line and column.
class SourceChecker {
 public:
  explicit SourceChecker(std::string_view source) : s_(source) {}

  void run();

 private:
  [[noreturn]] void fail(size_t at, const std::string& what) const;
  size_t skipPast(size_t from, std::string_view end) const;
  size_t skipQuoted(size_t j) const;
  void text();
  void reference(size_t at);
  void processingInstruction();
  void doctype();
  void endTag();
  void startTag();
  void requireBound(std::string_view prefix, size_t at) const;

  std::string_view s_;
  size_t i_ = 0;
  int depth_ = 0;
  int roots_ = 0;
  std::vector<std::string_view> bound_;  // declared prefixes in scope
  std::vector<size_t> marks_;            // bound_ sizes of the open elements
  std::vector<std::pair<std::string_view, size_t>> attributes_;  // of the current tag
  std::unordered_set<std::string_view> manyAttributes_;          // the same, for long tags
};

}  // namespace xml::detail
