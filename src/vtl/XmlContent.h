#pragma once

#include <string>
#include <string_view>

namespace vtl {

// The direct content of one element, read from its XML text (as the
// element's asXML writes it): how many nodes it holds (text runs, CDATA
// sections, comments, instructions, elements) and the text of all its
// descendants joined, which the element handle does not give in document
// order.
class XmlContent {
 public:
  explicit XmlContent(std::string_view xml);

  int nodeCount() const { return nodeCount_; }
  const std::string& stringValue() const { return stringValue_; }

 private:
  void scan(std::string_view xml);
  size_t skipMarkup(std::string_view xml, size_t at, int& depth);
  void appendText(std::string_view text);

  int nodeCount_ = 0;
  std::string stringValue_;
};

}  // namespace vtl
