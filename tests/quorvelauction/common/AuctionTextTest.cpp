#include <gtest/gtest.h>

#include "quorvelauction/common/Auction.h"

using quorvelauction::common::Auction;

TEST(AuctionText, StripApostrophe) {
  const std::pair<const char*, const char*> cases[] = {
      {"'abc'", "abc"}, {"'abc", "abc"}, {"abc'", "abc"}, {"'", ""},  {"''", ""},
      {"'''", "'"},     {"it's", "it's"}, {"", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(Auction::stripApostrophe(in), out) << in;
}

TEST(AuctionText, EscapeEuro) {
  EXPECT_EQ(Auction::escapeEuro(std::string_view("1\xE2\x82\xAC and 2\xE2\x82\xAC")),
            "1&euro; and 2&euro;");
  EXPECT_EQ(Auction::escapeEuro(std::string_view("5 &euro;")), "5 &euro;");
  EXPECT_EQ(Auction::escapeEuro(std::optional<std::string>()), std::nullopt);
}

TEST(AuctionText, Fill) {
  EXPECT_EQ(Auction::fill(7, 2), "07");
  EXPECT_EQ(Auction::fill(2008, 4), "2008");
  EXPECT_EQ(Auction::fill(123, 2), "123");
  EXPECT_EQ(Auction::fill(-5, 3), "0-5");
  EXPECT_EQ(Auction::fill(0, 0), "0");
}
