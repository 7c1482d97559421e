#include "xml/Names.h"

#include <cctype>

namespace xml::detail {

bool isWritableName(std::string_view name) {
  if (name.empty()) return false;
  char first = name.front();
  if (first == '-' || first == '.' || first == ':' || (first >= '0' && first <= '9')) return false;
  if (name.back() == ':') return false;
  int colons = 0;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x80 && !(std::isalnum(u) || c == '_' || c == '-' || c == '.' || c == ':')) return false;
    if (c == ':') ++colons;
  }
  return colons <= 1;
}

}  // namespace xml::detail
