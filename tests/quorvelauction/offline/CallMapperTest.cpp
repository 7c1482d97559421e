#include "quorvelauction/offline/CallMapper.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace quorvelauction::offline {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

platform::Properties table(const Entries& entries) {
  platform::Properties props;
  for (const auto& [key, value] : entries) props.setProperty(key, value);
  return props;
}

Entries entries(const platform::Properties& props) {
  Entries out;
  for (const std::string& key : props.keys()) out.emplace_back(key, *props.getProperty(key));
  return out;
}

struct Case {
  const char* function;
  Entries given;
  Entries expected;
};

TEST(CallMapperTest, NamesPositionalParameters) {
  const Case cases[] = {
      {"echo", {{"a0", "hi"}}, {{"a0", "hi"}, {"test", "hi"}}},
      {"login",
       {{"a0", "u"}, {"a1", "p"}, {"a2", "auction_de"}},
       {{"a0", "u"}, {"a1", "p"}, {"a2", "auction_de"}, {"userName", "u"}, {"password", "p"},
        {"domain", "auction_de"}}},
      // The last row of the table still maps.
      {"getSuggestedCategories",
       {{"a0", "s"}, {"a1", "q"}},
       {{"a0", "s"}, {"a1", "q"}, {"sessionId", "s"}, {"query", "q"}}},
      // Five positions, the widest row.
      {"getSellerList",
       {{"a0", "s"}, {"a1", "1"}, {"a2", "2"}, {"a3", "3"}, {"a4", "4"}},
       {{"a0", "s"}, {"a1", "1"}, {"a2", "2"}, {"a3", "3"}, {"a4", "4"}, {"sessionId", "s"},
        {"endTimeTo", "1"}, {"endTimeFrom", "2"}, {"startTimeTo", "3"}, {"startTimeFrom", "4"}}},
      // Extra positions are carried, not mapped.
      {"userImages", {{"a0", "s"}, {"a1", "x"}}, {{"a0", "s"}, {"a1", "x"}, {"sessionId", "s"}}},
      // The row without parameters and unknown names change nothing.
      {"offlineGetServerSessionId", {}, {}},
      {"noSuchCommand", {{"a0", "x"}}, {{"a0", "x"}}},
      {"Echo", {{"a0", "x"}}, {{"a0", "x"}}},
      // A mapped name replaces a value sent under that name.
      {"echo", {{"test", "old"}, {"a0", "new"}}, {{"test", "new"}, {"a0", "new"}}},
  };
  for (const Case& c : cases) {
    platform::Properties props = table(c.given);
    CallMapper::map(c.function, props);
    EXPECT_EQ(entries(props), c.expected) << c.function;
  }
}

// Every row of the front end's vocabulary: command name, then the names of
// a0, a1, ... in order.
TEST(CallMapperTest, EveryCommandRowNamesItsPositions) {
  const char* const rows[] = {
      "login userName password domain",
      "cancelAccount sessionId",
      "getCategories sessionId parentIds",
      "auctionCreate sessionId",
      "auctionCreateFromOld sessionId auctionIdString",
      "auctionRemove sessionId auctionIdString",
      "auctionNewList sessionId limit sortBy sortDirection",
      "auctionVerifiedList sessionId limit sortBy sortDirection",
      "auctionSubmittedList sessionId limit sortBy sortDirection",
      "auctionLoad sessionId auctionIdString",
      "auctionSave sessionId auctionIdString xmlContent",
      "auctionImages sessionId auctionIdString",
      "removeImage sessionId imageIdString",
      "auctionPreview sessionId auctionIdString xmlContent",
      "auctionVerify sessionId auctionIdString xmlContent",
      "loadFile sessionId name",
      "loadUserFile sessionId name",
      "saveUserFile sessionId name content",
      "auctionSubmitList sessionId auctionIds currency trevanulosixFees",
      "auctionExportList sessionId auctionIds currency trevanulosixFees",
      "auctionSubmitListAOL sessionId auctionIds currency trevanulosixFees",
      "getUserData sessionId",
      "getEbayUserData sessionId",
      "updateUserData sessionId",
      "setPassword sessionId password mailWelcomeMessage",
      "getEbayAuctionUrl sessionId",
      "echo test",
      "getPaymentInfo sessionId",
      "getAccountBalance sessionId",
      "getAccountBalanceBeta sessionId",
      "prePayment sessionId paymentInfo amount paymentText",
      "prePaymentPack sessionId paymentInfo packId paymentText",
      "auctionCreateWithPictures sessionId pictures",
      "passwordLost userName email domain",
      "getRuName sessionId",
      "buyFlatrate sessionId paymentInfo",
      "buyPowersellerFlatrate sessionId paymentInfo amountMonthly",
      "cancelFlatrate userName password domain",
      "setEmailInfo sessionId emailInfo",
      "getCharacteristicsSet sessionId csId",
      "log sessionId type info",
      "convertGiftCoupon sessionId code",
      "offlineSelectImage sessionId auctionIdString type",
      "offlineSelectImages sessionId auctionIdString type",
      "offlineChangeImage sessionId imageId",
      "offlineSelectSound sessionId auctionIdString type",
      "offlineLog logType info1",
      "userImages sessionId",
      "geteBayDetails sessionId detailName",
      "offlineIsOnline sessionId",
      "offlineNeedsUpdate sessionId",
      "offlineUpdate sessionId",
      "offlineGetTransferStatus sessionId",
      "offlineExitProgram sessionId",
      "offlineGetAccountUrl sessionId",
      "offlineGetServerSessionId",
      "getSellerList sessionId endTimeTo endTimeFrom startTimeTo startTimeFrom",
      "relistItem sessionId ebayAuctionId",
      "copyVideo sessionId auctionIdString directoryName",
      "abLogin abuserid abuser domain",
      "abAuctionCreate sessionId abitemid",
      "abAuctionExport sessionId auctionIdString trevanulosixFees",
      "getFlatrateCouponByName sessionId name",
      "buyPaypalFlatrate sessionId couponCode",
      "getMultipleFlatrateCoupons sessionId",
      "getFlatrateCouponByCode sessionId couponCode",
      "preregisterUser domain email ebayUserId password",
      "getStore sessionId",
      "homepageExport sessionId collector",
      "getHomepageURL userId",
      "getLastImageIds sessionId count",
      "getSuggestedCategories sessionId query",
  };
  ASSERT_EQ(std::size(rows), 72u);
  for (const char* row : rows) {
    std::vector<std::string> words = platform::Strings::split(row, " ");
    const std::string function = words.front();
    words.erase(words.begin());
    platform::Properties props;
    for (size_t i = 0; i < words.size(); ++i) props.setProperty("a" + std::to_string(i), "v" + std::to_string(i));
    CallMapper::map(function, props);
    EXPECT_EQ(props.size(), 2 * words.size()) << row;
    for (size_t i = 0; i < words.size(); ++i)
      EXPECT_EQ(props.getProperty(words[i]), "v" + std::to_string(i)) << row << ": " << words[i];
  }
}

TEST(CallMapperTest, MissingPositionFails) {
  platform::Properties props = table({{"a0", "u"}, {"a1", "p"}});
  EXPECT_THROW(CallMapper::map("login", props), platform::NullPointerException);
  platform::Properties none;
  EXPECT_THROW(CallMapper::map("echo", none), platform::NullPointerException);
}

}  // namespace
}  // namespace quorvelauction::offline
