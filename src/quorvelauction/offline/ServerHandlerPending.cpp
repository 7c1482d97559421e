// Commands whose handlers come with their own command families. Until a
// family is in place its commands answer as unknown ones; replace a
// definition here by the real handler in the family's own file.

#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

namespace {
const char kPending[] = "error:unknown function";
}  // namespace

std::string Server::Handler::onAuctionSubmitList(Properties&, int32_t) { return kPending; }
std::string Server::Handler::update() { return kPending; }

std::string Server::Handler::onOfflineSelectImages(Properties&) { return kPending; }
std::string Server::Handler::onOfflineSelectImage(Properties&) { return kPending; }
std::string Server::Handler::onOfflineChangeImage(Properties&) { return kPending; }
std::string Server::Handler::onOfflineSelectSound(Properties&) { return kPending; }
std::string Server::Handler::onAuctionVerify(Properties&) { return kPending; }
std::string Server::Handler::onGetAccountBalance(Properties&) { return kPending; }
std::string Server::Handler::onRemoveImage(Properties&) { return kPending; }
std::string Server::Handler::onGetEbayUserData(Properties&) { return kPending; }
std::string Server::Handler::onSetPassword(Properties&) { return kPending; }
std::string Server::Handler::onSetEmailInfo(Properties&) { return kPending; }
std::string Server::Handler::onConvertGiftCoupon(Properties&) { return kPending; }
std::string Server::Handler::onGetPaymentInfo(Properties&) { return kPending; }
std::string Server::Handler::onPrePayment(Properties&) { return kPending; }
std::string Server::Handler::onPrePaymentPack(Properties&) { return kPending; }
std::string Server::Handler::onBuyFlatrate(Properties&) { return kPending; }
std::string Server::Handler::onBuyPowersellerFlatrate(Properties&) { return kPending; }
std::string Server::Handler::onCancelFlatrate(Properties&) { return kPending; }
std::string Server::Handler::onGetSuggestedCategories(Properties&) { return kPending; }
std::string Server::Handler::onPasswordLost(Properties&) { return kPending; }
std::string Server::Handler::onCopyVideo(Properties&) { return kPending; }

}  // namespace quorvelauction::offline
