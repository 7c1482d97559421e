#include "quorvelauction/offline/CallMapper.h"

#include <initializer_list>

#include "platform/Exceptions.h"

namespace quorvelauction::offline {

namespace {

struct Row {
  std::string_view function;
  std::initializer_list<std::string_view> names;
};

// The front end's whole command vocabulary, in the order it is searched.
const Row kRows[] = {
    {"login", {"userName", "password", "domain"}},
    {"cancelAccount", {"sessionId"}},
    {"getCategories", {"sessionId", "parentIds"}},
    {"auctionCreate", {"sessionId"}},
    {"auctionCreateFromOld", {"sessionId", "auctionIdString"}},
    {"auctionRemove", {"sessionId", "auctionIdString"}},
    {"auctionNewList", {"sessionId", "limit", "sortBy", "sortDirection"}},
    {"auctionVerifiedList", {"sessionId", "limit", "sortBy", "sortDirection"}},
    {"auctionSubmittedList", {"sessionId", "limit", "sortBy", "sortDirection"}},
    {"auctionLoad", {"sessionId", "auctionIdString"}},
    {"auctionSave", {"sessionId", "auctionIdString", "xmlContent"}},
    {"auctionImages", {"sessionId", "auctionIdString"}},
    {"removeImage", {"sessionId", "imageIdString"}},
    {"auctionPreview", {"sessionId", "auctionIdString", "xmlContent"}},
    {"auctionVerify", {"sessionId", "auctionIdString", "xmlContent"}},
    {"loadFile", {"sessionId", "name"}},
    {"loadUserFile", {"sessionId", "name"}},
    {"saveUserFile", {"sessionId", "name", "content"}},
    {"auctionSubmitList", {"sessionId", "auctionIds", "currency", "trevanulosixFees"}},
    {"auctionExportList", {"sessionId", "auctionIds", "currency", "trevanulosixFees"}},
    {"auctionSubmitListAOL", {"sessionId", "auctionIds", "currency", "trevanulosixFees"}},
    {"getUserData", {"sessionId"}},
    {"getEbayUserData", {"sessionId"}},
    {"updateUserData", {"sessionId"}},
    {"setPassword", {"sessionId", "password", "mailWelcomeMessage"}},
    {"getEbayAuctionUrl", {"sessionId"}},
    {"echo", {"test"}},
    {"getPaymentInfo", {"sessionId"}},
    {"getAccountBalance", {"sessionId"}},
    {"getAccountBalanceBeta", {"sessionId"}},
    {"prePayment", {"sessionId", "paymentInfo", "amount", "paymentText"}},
    {"prePaymentPack", {"sessionId", "paymentInfo", "packId", "paymentText"}},
    {"auctionCreateWithPictures", {"sessionId", "pictures"}},
    {"passwordLost", {"userName", "email", "domain"}},
    {"getRuName", {"sessionId"}},
    {"buyFlatrate", {"sessionId", "paymentInfo"}},
    {"buyPowersellerFlatrate", {"sessionId", "paymentInfo", "amountMonthly"}},
    {"cancelFlatrate", {"userName", "password", "domain"}},
    {"setEmailInfo", {"sessionId", "emailInfo"}},
    {"getCharacteristicsSet", {"sessionId", "csId"}},
    {"log", {"sessionId", "type", "info"}},
    {"convertGiftCoupon", {"sessionId", "code"}},
    {"offlineSelectImage", {"sessionId", "auctionIdString", "type"}},
    {"offlineSelectImages", {"sessionId", "auctionIdString", "type"}},
    {"offlineChangeImage", {"sessionId", "imageId"}},
    {"offlineSelectSound", {"sessionId", "auctionIdString", "type"}},
    {"offlineLog", {"logType", "info1"}},
    {"userImages", {"sessionId"}},
    {"geteBayDetails", {"sessionId", "detailName"}},
    {"offlineIsOnline", {"sessionId"}},
    {"offlineNeedsUpdate", {"sessionId"}},
    {"offlineUpdate", {"sessionId"}},
    {"offlineGetTransferStatus", {"sessionId"}},
    {"offlineExitProgram", {"sessionId"}},
    {"offlineGetAccountUrl", {"sessionId"}},
    {"offlineGetServerSessionId", {}},
    {"getSellerList", {"sessionId", "endTimeTo", "endTimeFrom", "startTimeTo", "startTimeFrom"}},
    {"relistItem", {"sessionId", "ebayAuctionId"}},
    {"copyVideo", {"sessionId", "auctionIdString", "directoryName"}},
    {"abLogin", {"abuserid", "abuser", "domain"}},
    {"abAuctionCreate", {"sessionId", "abitemid"}},
    {"abAuctionExport", {"sessionId", "auctionIdString", "trevanulosixFees"}},
    {"getFlatrateCouponByName", {"sessionId", "name"}},
    {"buyPaypalFlatrate", {"sessionId", "couponCode"}},
    {"getMultipleFlatrateCoupons", {"sessionId"}},
    {"getFlatrateCouponByCode", {"sessionId", "couponCode"}},
    {"preregisterUser", {"domain", "email", "ebayUserId", "password"}},
    {"getStore", {"sessionId"}},
    {"homepageExport", {"sessionId", "collector"}},
    {"getHomepageURL", {"userId"}},
    {"getLastImageIds", {"sessionId", "count"}},
    {"getSuggestedCategories", {"sessionId", "query"}},
};

}  // namespace

void CallMapper::map(std::string_view function, platform::Properties& props) {
  for (const Row& row : kRows) {
    if (row.function != function) continue;
    int i = 0;
    for (std::string_view name : row.names) {
      const std::string key = "a" + std::to_string(i++);
      std::optional<std::string> value = props.getProperty(key);
      if (!value) throw platform::NullPointerException("missing parameter " + key);
      // a0.. stay beside the names: a body's value is held twice, not thrice.
      props.put(std::string(name), std::move(*value));
    }
    return;
  }
}

}  // namespace quorvelauction::offline
