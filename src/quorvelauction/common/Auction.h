#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvelauction::common {

// Static operations on the auction XML and the texts that come with it.
class Auction {
 public:
  static constexpr int AUCTION_STATE_NEW = 0;
  static constexpr int AUCTION_STATE_VERIFIED = 1;
  static constexpr int AUCTION_STATE_SUBMITTED = 2;

  // Removes one apostrophe at the end, then one at the start.
  static std::string stripApostrophe(std::string_view text);
  // Writes every euro sign as "&euro;".
  static std::optional<std::string> escapeEuro(const std::optional<std::string>& text);
  static std::string escapeEuro(std::string_view text);
  // The decimal value with "0"s in front up to width characters.
  static std::string fill(int32_t value, int32_t width);
};

}  // namespace quorvelauction::common
