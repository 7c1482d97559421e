// The submission and the export of a list of auctions: their pictures,
// variants and sounds go up through the transfer servlet, their XML with the
// online ids to the service, and one final call submits or exports the list.

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/FlashVars.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/SimpleSoap.h"
#include "quorvelauction/offline/TransferRun.h"

namespace quorvelauction::offline {

namespace {

using common::Auction;
using common::GlobalConfig;
using common::XMLUtils;
using platform::File;
using platform::Strings;
using platform::System;

using Error = std::optional<std::string>;
using Listed = std::vector<std::pair<int32_t, std::shared_ptr<OfflineAuction>>>;

// One uploaded auction: its local number, the online id, the XML text it
// went up with and the record it came from.
struct Sent {
  int32_t localId;
  int32_t onlineId;
  std::string xmlContent;
  std::shared_ptr<OfflineAuction> record;
};

// Variants made when missing, with the size type they are scaled to.
const std::pair<const char*, const char*> kMadeVariants[] = {
    {"v.jpg", "Standard"}, {"e.jpg", "Ebay"}, {"t.jpg", "Thumb"}};
// Variants uploaded when they exist, in this order.
const char* const kUploadedVariants[] = {"-90.jpg", "t.jpg",    "v.jpg",     "e.jpg",
                                         "up.jpg",  "left.jpg", "right.jpg", "down.jpg"};

std::string serviceHost() { return Server::host.get().value_or(""); }
std::string session() { return Server::serverSessionId.get(); }
std::string userPath() { return GlobalConfig::getUserPath(); }
bool existsInUserFolder(const std::string& relative) { return File(userPath() + relative).exists(); }

std::optional<int32_t> decimal(const std::string& text) {
  try {
    return platform::Integers::parseInt(text);
  } catch (const platform::NumberFormatException&) {
    return std::nullopt;
  }
}

int64_t lengthOf(const std::string& relative) {
  const File file(userPath() + relative);
  return file.exists() ? file.length() : 0;
}

// The answer of an upload; a transfer that fails answers as the service's
// refusal does.
template <class Upload>
std::string answerOf(Upload upload) {
  try {
    return upload();
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return std::string("error:upload failed: ") + e.what();
  }
}

// An error text of an upload, also sent as remote log record of its type.
std::string failed(const std::string& type, const std::string& text) {
  Server::log(type, text);
  return text;
}

// The service's online number for a media upload: its answer must be one,
// otherwise the XML would go up still pointing at local files.
Error onlineNumber(const std::string& type, const std::string& answer, int32_t& number) {
  if (Strings::startsWith(answer, "error:")) return failed(type, answer);
  std::optional<int32_t> value = decimal(answer);
  if (!value) return failed(type, "error:upload answered " + answer);
  number = *value;
  return std::nullopt;
}

// The first upload of picture m: the picture, or the movie with its still.
std::string uploadFirst(int32_t m, int32_t auction) {
  const std::string base = userPath() + "images/" + std::to_string(m);
  const std::string remote = std::to_string(m) + ".jpg";
  const bool movie = File(base + ".swf").exists();
  if (File(base + ".jpg").exists() && !movie)
    return OnlineCommunication::uploadFirstImage(serviceHost(), base + ".jpg", session(), auction, remote);
  if (movie) return OnlineCommunication::uploadVideoAndImage(serviceHost(), base, session(), auction, remote);
  return "error:file not found";
}

void makeMissingVariants(const std::string& domain, int32_t m) {
  const std::string base = "images/" + std::to_string(m);
  const std::string source = existsInUserFolder(base) ? base : base + ".jpg";
  if (!existsInUserFolder(source)) return;
  for (const auto& [suffix, type] : kMadeVariants) {
    if (existsInUserFolder(base + suffix)) continue;
    common::ImageHelper* helper = GlobalConfig::getImageHelper();
    if (!helper) throw platform::NullPointerException("no image helper installed");
    Auction::Dimension size = Auction::getDimensionByType(domain, type);
    helper->scaleImage(source, base + suffix, size.width, size.height, 0, false);
  }
}

Error uploadVariants(int32_t m, int32_t auction, int32_t online) {
  for (const char* suffix : kUploadedVariants) {
    const std::string file = userPath() + "images/" + std::to_string(m) + suffix;
    System::out().println("localFilename: " + file + ", extension: " + suffix);
    if (!File(file).exists()) continue;
    const std::string answer = answerOf([&] {
      return OnlineCommunication::uploadScaledImage(serviceHost(), file, session(), auction, online, suffix);
    });
    if (Strings::startsWith(answer, "error:")) return failed("uploadError2", answer);
  }
  return std::nullopt;
}

// One picture reference: its upload, its variants, and its online number in
// the document. uploaded collects local to online numbers for "flashVars".
Error uploadPicture(xml::Attribute reference, int32_t auction, const std::string& domain,
                    std::map<int32_t, int32_t>& uploaded) {
  const int32_t m = XMLUtils::parseId(reference);
  if (m < 0) return std::nullopt;
  const std::string answer = answerOf([&] { return uploadFirst(m, auction); });
  int32_t online = 0;
  if (Error error = onlineNumber("uploadError1", answer, online)) return error;
  reference.setValue(std::to_string(online));
  // A picture referenced twice keeps its first online number in "flashVars".
  uploaded.emplace(m, online);
  // A variant that cannot be made costs this picture's variants; one that
  // cannot be sent ends the command, as the service's refusal of it does.
  try {
    makeMissingVariants(domain, m);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return std::nullopt;
  }
  return uploadVariants(m, auction, online);
}

void rewriteFlashVars(const xml::Document& document, const std::map<int32_t, int32_t>& uploaded) {
  try {
    xml::Element data = XMLUtils::getByPath(document.getRootElement(), "auction/item/faHtmlVariation/data");
    xml::Attribute flashVars = data.attribute("flashVars");
    if (!flashVars) throw platform::NullPointerException("attribute flashVars missing");
    flashVars.setValue(FlashVars::rewrite(flashVars.getValue(), uploaded));
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
}

Error uploadSound(const xml::Document& document, int32_t localId, int32_t auction) {
  for (xml::Attribute reference : Auction::getAuctionSounds(document)) {
    const int32_t k = XMLUtils::parseId(reference);
    if (k < 0) continue;
    const std::string answer = answerOf([&] {
      return OnlineCommunication::uploadSound(serviceHost(), userPath() + "sounds/" + std::to_string(k) + ".mp3",
                                              session(), auction, std::to_string(localId) + ".mp3", "Standard");
    });
    if (Strings::startsWith(answer, "error:")) System::out().println(answer);
    int32_t online = 0;
    if (Error error = onlineNumber("uploadError4", answer, online)) return error;
    reference.setValue(std::to_string(online));
  }
  return std::nullopt;
}

// The bytes the pictures and the sound of one auction will send; variants
// and movies are not counted.
int64_t expectedBytes(const xml::Document& document) {
  int64_t sum = 0;
  for (const xml::Attribute& picture : Auction::getAuctionImages(document)) {
    const int32_t m = XMLUtils::parseId(picture);
    if (m >= 0) sum += lengthOf("images/" + std::to_string(m) + ".jpg");
  }
  for (const xml::Attribute& sound : Auction::getAuctionSounds(document)) {
    const int32_t k = XMLUtils::parseId(sound);
    if (k >= 0) sum += lengthOf("sounds/" + std::to_string(k) + ".mp3");
  }
  return sum;
}

}  // namespace

std::shared_ptr<OfflineAuction> Server::Handler::heldOrRead(int32_t id) {
  if (std::shared_ptr<OfflineAuction> held = heldAuction(id)) return held;
  if (!File(OfflineAuction::getAuctionPath() + std::to_string(id)).exists()) return nullptr;
  return holdAuction(id, OfflineAuction::load(id));
}

std::optional<std::string> Server::Handler::collectSubmission(const std::optional<std::string>& auctionIds,
                                                              Listed& listed) {
  const std::vector<std::string> parts = Strings::split(auctionIds.value_or(""), ":");
  if (parts.empty() || (parts.size() == 1 && parts[0].empty())) return "error:no auctions listed";
  for (const std::string& part : parts) {
    std::optional<int32_t> id = decimal(part);
    if (!id) return "error:invalid auction number " + part;
    std::shared_ptr<OfflineAuction> record;
    try {
      record = heldOrRead(*id);
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
      return "error:auction " + part + " cannot be read";
    }
    if (!record) return "error:auction " + part + " not found";
    try {
      transferStatusSum += expectedBytes(XMLUtils::stringToDoc(record->getXmlContent()));
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
      return "error:auction " + part + " is invalid: " + e.what();
    }
    listed.emplace_back(*id, std::move(record));
  }
  return std::nullopt;
}

bool Server::Handler::stillListed(int32_t id, const OfflineAuction& record) {
  return !record.isRemoved() && heldAuction(id) != nullptr;
}

std::optional<std::string> Server::Handler::uploadAuction(int32_t localId, const std::string& xmlContent,
                                                          int32_t& onlineId) {
  const int32_t auction = createOrGetServerAuctionId(localId);
  onlineId = auction;
  xml::Document document = XMLUtils::stringToDoc(xmlContent);
  const std::vector<xml::Attribute> pictures = Auction::getAuctionImages(document);
  const std::string domain = server_.domain.get();
  std::map<int32_t, int32_t> uploaded;
  for (const xml::Attribute& picture : pictures) {
    if (Error error = uploadPicture(picture, auction, domain, uploaded)) return error;
  }
  // Once, over the original text, with every picture's pair: a number set
  // for one picture must not be taken for the local number of another.
  if (!pictures.empty()) rewriteFlashVars(document, uploaded);
  if (Error error = uploadSound(document, localId, auction)) return error;
  const std::string answer = SimpleSoap::soapFunction(
      host.get(), "auctionSave",
      {{"sessionId", session()},
       {"auctionIdString", std::to_string(auction)},
       {"xmlContent", XMLUtils::asCompactString(document)}});
  if (Strings::startsWith(answer, "error:")) return failed("uploadError3", answer);
  return std::nullopt;
}

std::string Server::Handler::onAuctionSubmitList(Properties& props, int32_t mode) {
  if (!isOnline()) return "error:not_online";
  std::unique_lock<std::mutex> transfer = TransferRun::tryStart();
  if (!transfer.owns_lock()) return TransferRun::BUSY;
  transferStatusSent = 0;
  transferStatusSum = 0;

  Listed listed;
  if (Error error = collectSubmission(props.getProperty("auctionIds"), listed)) return *error;
  std::vector<Sent> sent;
  for (const auto& [localId, record] : listed) {
    // One removed since the list was read: its pairing is gone, so an upload
    // would make a new online auction of what the user deleted.
    if (!stillListed(localId, *record)) continue;
    Sent auction{localId, 0, record->getXmlContent(), record};
    if (Error error = uploadAuction(localId, auction.xmlContent, auction.onlineId)) return *error;
    sent.push_back(std::move(auction));
  }
  // One removed while it went up stays out of the list as well: the user
  // deleted it, it must not go live.
  std::erase_if(sent, [&](const Sent& auction) { return !stillListed(auction.localId, *auction.record); });
  if (sent.empty()) return "error:no auctions listed";

  // The ids the uploads used: asking again could make an empty online auction.
  std::string ids;
  for (const Sent& auction : sent) {
    if (!ids.empty()) ids += ":";
    ids += std::to_string(auction.onlineId);
  }
  const std::string answer = SimpleSoap::soapFunction(
      host.get(), mode == SUBMIT ? "auctionSubmitList" : "auctionExportList",
      {{"sessionId", serverSessionId.get() + ":" + std::to_string(offlineId)},
       {"auctionIds", ids},
       {"currency", props.getProperty("currency")},
       {"trevanulosixFees", props.getProperty("trevanulosixFees")}});
  // A refused list stays where it was, to be sent again.
  if (Strings::startsWith(answer, "error")) return answer;
  for (const Sent& auction : sent) {
    try {
      // The record held now, which a load may have put in place of the one
      // uploaded. It is checked and written under its own save lock, not the
      // table's, so other commands do not wait for the write; one edited or
      // removed since the upload is left as it is.
      if (std::shared_ptr<OfflineAuction> held = heldAuction(auction.localId)) held->markSubmitted(auction.xmlContent);
    } catch (const std::exception& e) {
      // The service has the list; its answer is what the front end needs.
      platform::printStackTrace(e);
    }
  }
  return answer;
}

}  // namespace quorvelauction::offline
