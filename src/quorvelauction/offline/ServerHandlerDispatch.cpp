#include <zlib.h>

#include "platform/BufferedReader.h"
#include "platform/Exceptions.h"
#include "platform/InputStreamReader.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServerImageInfo.h"

namespace quorvelauction::offline {

using platform::Strings;
using platform::System;

std::string Server::Handler::evaluateFunction(const std::string& f, Properties& props) {
  if (f == "echo") return onEcho(props);
  if (f == "login") return onLogin(props);
  if (f == "loadFile") return onLoadFile(props);
  if (f == "loadUserFile") return onLoadUserFile(props);
  if (f == "saveUserFile") return onSaveUserFile(props);
  if (f == "auctionNewList") return auctionList(props, 0);
  if (f == "auctionCreateWithPictures") return onAuctionCreateId(props);
  if (f == "auctionCreateFromOld") return onAuctionCreateId(props);
  if (f == "auctionPreview") return onAuctionPreview(props);
  if (f == "auctionSubmitList") return onAuctionSubmitList(props, SUBMIT);
  if (f == "auctionExportList") return onAuctionSubmitList(props, EXPORT);
  if (f == "offlineSelectImages") return onOfflineSelectImages(props);
  if (f == "offlineSelectImage") return onOfflineSelectImage(props);
  if (f == "offlineChangeImage") return onOfflineChangeImage(props);
  if (f == "offlineSelectSound") return onOfflineSelectSound(props);
  if (f == "offlineLog") return onOfflineLog(props);
  if (f == "auctionVerify") return onAuctionVerify(props);
  if (f == "getAccountBalance") return onGetAccountBalance(props);
  if (f == "removeImage") return onRemoveImage(props);
  if (f == "getCategories") return onGetCategories(props);
  if (f == "getCharacteristicsSet") return onGetCharacteristicsSet(props);
  if (f == "auctionSave") return onAuctionSave(props);
  if (f == "auctionLoad") return onAuctionLoad(props);
  if (f == "auctionRemove") return onAuctionRemove(props);
  if (f == "auctionVerifiedList") return auctionList(props, 1);
  if (f == "auctionSubmittedList") return auctionList(props, 2);
  if (f == "getUserData") return onGetUserData(props);
  if (f == "getEbayUserData") return onGetEbayUserData(props);
  if (f == "updateUserData") return onUpdateUserData(props);
  if (f == "setPassword") return onSetPassword(props);
  if (f == "setEmailInfo") return onSetEmailInfo(props);
  if (f == "convertGiftCoupon") return onConvertGiftCoupon(props);
  if (f == "getPaymentInfo") return onGetPaymentInfo(props);
  if (f == "prePayment") return onPrePayment(props);
  if (f == "prePaymentPack") return onPrePaymentPack(props);
  if (f == "buyFlatrate") return onBuyFlatrate(props);
  if (f == "buyPowersellerFlatrate") return onBuyPowersellerFlatrate(props);
  if (f == "cancelFlatrate") return onCancelFlatrate(props);
  if (f == "getSuggestedCategories") return onGetSuggestedCategories(props);
  if (f == "userImages") return userImages();
  if (f == "geteBayDetails") return onGeteBayDetails(props);
  if (f == "offlineIsOnline") return onOfflineIsOnline(props);
  if (f == "offlineNeedsUpdate") return onOfflineNeedsUpdate(props);
  if (f == "offlineUpdate") return update();
  if (f == "offlineGetServerSessionId") return onOfflineGetServerSessionId(props);
  if (f == "passwordLost") return onPasswordLost(props);
  if (f == "offlineGetTransferStatus") return onOfflineGetTransferStatus(props);
  if (f == "offlineExitProgram") onOfflineExitProgram(props);
  if (f == "offlineGetAccountUrl") return onOfflineGetAccountUrl(props);
  if (f == "copyVideo") return onCopyVideo(props);
  if (f == "preregisterUser") return onPreregisterUser(props);
  if (f == "getStore") return onGetStore(props);
  return "error:unknown function";
}

std::string Server::Handler::onEcho(Properties& props) {
  std::string text = "passed parameters:";
  for (const std::string& key : props.keys()) {
    text.append(" ").append(key).append("=").append(props.getProperty(key, ""));
  }
  return text;
}

std::string Server::Handler::onOfflineGetTransferStatus(Properties&) {
  return std::to_string(transferStatusSent.load()) + ":" + std::to_string(transferStatusSum.load());
}

std::string Server::Handler::onOfflineExitProgram(Properties&) { exitProgram(); }

std::string Server::Handler::onGetStore(Properties&) {
  platform::File store(userPath + "store.xml");
  if (!store.exists()) return "error:needs_update";
  xml::Element root = common::XMLUtils::fileToDoc(store.getAbsolutePath()).getRootElement();
  // A store document that does not parse is as good as none.
  if (!root) return "error:needs_update";
  return common::XMLUtils::asCompactString(root);
}

std::string Server::Handler::userImages() {
  System::out().println("userImages");
  std::string reply = "<images>";
  Server::userImages.with([&](const std::vector<ImageInfo>& images) {
    for (const ImageInfo& image : images) {
      reply.append("<").append(std::to_string(image.id)).append(" t=\"").append(image.type).append("\"/>");
    }
  });
  reply.append("</images>");
  return reply;
}

std::optional<NumberReservation> Server::Handler::createImageId(bool open) {
  return NumberReservation::take(common::GlobalConfig::getUserPath() + "images/", open);
}

std::optional<NumberReservation> Server::Handler::createSoundId() {
  return NumberReservation::take(common::GlobalConfig::getUserPath() + "sounds/");
}

int64_t Server::Handler::crc32(std::string_view text) {
  uLong crc = ::crc32(0L, Z_NULL, 0);
  crc = ::crc32(crc, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
  return static_cast<int64_t>(crc & 0xFFFFFFFFu);
}

std::string Server::Handler::addWidgetsDummy(const std::string& domain) {
  std::string result;
  try {
    platform::Properties cache;
    {
      auto in = common::GlobalConfig::createFileInputStream(userPath + "loginCache.properties");
      cache.load(*in);
      in->close();
    }
    std::optional<std::string> userData = cache.getProperty("userData");
    if (!userData) throw platform::NullPointerException("no userData in the login cache");
    xml::Element root = common::XMLUtils::stringToDoc(*userData).getRootElement();
    if (!root) throw platform::NullPointerException("the user data is no document");
    xml::Element widgets = root.element("widgets");
    if (!widgets) throw platform::NullPointerException("no widgets in the user data");
    for (const std::string& name : Strings::split(widgets.getText(), " ")) {
      auto in = common::GlobalConfig::createFileInputStream(
          common::GlobalConfig::getPath() + "WEB-INF/" + domain + "/automatic/" + name + ".html");
      platform::BufferedReader reader(
          std::make_unique<platform::InputStreamReader>(std::move(in), platform::Charset::iso88591()));
      std::string line;
      while (reader.readLine(line)) result.append(line).append("\n");
      reader.close();
    }
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  return result;
}

}  // namespace quorvelauction::offline
