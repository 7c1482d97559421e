#include "quorvelauction/common/Auction.h"

#include "platform/Strings.h"

namespace quorvelauction::common {

std::string Auction::stripApostrophe(std::string_view text) {
  if (!text.empty() && text.back() == '\'') text.remove_suffix(1);
  if (!text.empty() && text.front() == '\'') text.remove_prefix(1);
  return std::string(text);
}

std::string Auction::escapeEuro(std::string_view text) {
  return platform::Strings::replace(text, "\xE2\x82\xAC", "&euro;");
}

std::optional<std::string> Auction::escapeEuro(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return escapeEuro(std::string_view(*text));
}

std::string Auction::fill(int32_t value, int32_t width) {
  std::string digits = std::to_string(value);
  if (static_cast<int32_t>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

}  // namespace quorvelauction::common
