#include <gtest/gtest.h>

#include <functional>

#include "AuctionTestSupport.h"
#include "quorvelauction/common/Auction.h"

using quorvelauction::common::Auction;
using quorvelauction::common::GlobalConfig;

namespace {

// The first id from `from` upwards whose scrambled value puts it in the
// wanted tier.
int32_t idOfTier(bool second, int32_t from) {
  for (int32_t id = from;; ++id)
    if ((GlobalConfig::cryptId(id) >= 10000000) == second) return id;
}

}  // namespace

TEST(AuctionPath, SplitId) {
  const std::pair<int32_t, const char*> cases[] = {
      {0, ""},          {99, ""},         {-5, ""},         {-2147483647 - 1, ""},
      {100, "01"},      {999, "09"},      {1000, "10"},     {12345, "01/23"},
      {99999, "09/99"}, {100000, "10/00"}, {123456, "12/34"}, {1234567, "01/23/45"},
      {2147483647, "21/47/48/36"},
  };
  for (auto [id, path] : cases) EXPECT_EQ(Auction::splitId(id), path) << id;
}

TEST(AuctionPath, TiersChooseTheFolder) {
  auctiontest::Installation installation;
  int32_t firstSmall = idOfTier(false, 1), firstLarge = idOfTier(false, 123456);
  int32_t secondSmall = idOfTier(true, 1), secondLarge = idOfTier(true, 123456);
  ASSERT_LT(secondSmall, 100) << "masks give no small second-tier id";

  EXPECT_EQ(Auction::getSplittedPath(firstSmall, "images"), "images");
  EXPECT_EQ(Auction::getSplittedPath(firstLarge, "images"), "images");
  EXPECT_EQ(Auction::getSplittedPath(secondSmall, "images"), "images2");
  EXPECT_EQ(Auction::getSplittedPath(secondLarge, "images"),
            "images2/" + Auction::splitId(secondLarge));

  EXPECT_EQ(Auction::getAuctionPath(firstLarge), "");
  EXPECT_EQ(Auction::getAuctionPath(secondSmall), "2");
  EXPECT_EQ(Auction::getAuctionPath(secondLarge), "2/" + Auction::splitId(secondLarge));
  // The online storage folder of the domain "auction_de" is made below the user folder.
  EXPECT_TRUE(installation.exists("storage2/" + Auction::splitId(secondLarge)));
  EXPECT_TRUE(installation.exists("storage"));
}

TEST(AuctionPath, ImagesPathMakesTheFolderOnce) {
  auctiontest::Installation installation;
  int32_t id = idOfTier(true, 500000);
  std::string folder = Auction::getImagesPath(id);
  EXPECT_EQ(folder, "images2/" + Auction::splitId(id));
  ASSERT_TRUE(installation.exists(folder));
  installation.write(folder + "/keep.jpg", "x");
  EXPECT_EQ(Auction::getImagesPath(id), folder);
  EXPECT_TRUE(installation.exists(folder + "/keep.jpg"));
}
