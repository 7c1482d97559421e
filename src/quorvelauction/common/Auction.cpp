#include "quorvelauction/common/Auction.h"

#include <unicode/gregocal.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <array>
#include <climits>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/ImageHelper.h"
#include "quorvelauction/common/XMLUtils.h"
#include "platform/Charset.h"
#include "platform/StringWriter.h"
#include "vtl/Velocity.h"
#include "vtl/XmlValues.h"

namespace quorvelauction::common {

namespace {

const std::string kEuro = "\xE2\x82\xAC";

// The attribute a rule reads; its absence is a null reference.
std::string required(const xml::Element& element, std::string_view name) {
  std::optional<std::string> value = element.attributeValue(name);
  if (!value) throw platform::NullPointerException("attribute " + std::string(name) + " missing");
  return *value;
}

// The "data" child of a field element.
xml::Element dataOf(const xml::Element& field) { return field.element("data"); }

// The decimal value of a text, or -1 when absent or not a number.
int32_t parseId(const std::optional<std::string>& text) {
  if (!text) return -1;
  try {
    return platform::Integers::parseInt(*text);
  } catch (const platform::NumberFormatException&) {
    return -1;
  }
}

bool isBlank(std::string_view text) { return platform::Strings::trim(text).empty(); }

ImageHelper& imageHelper() {
  ImageHelper* helper = GlobalConfig::getImageHelper();
  if (!helper) throw platform::IllegalStateException("no image helper installed");
  return *helper;
}

}  // namespace

// ---- storage path scheme

std::string Auction::splitId(int32_t id) {
  if (id < 100) return "";
  std::string digits = std::to_string(id / 100);
  if (digits.size() % 2 == 1) digits.insert(0, 1, '0');
  std::string path;
  for (size_t i = 0; i < digits.size(); i += 2) {
    if (i > 0) path += '/';
    path.append(digits, i, 2);
  }
  return path;
}

bool Auction::isSecondTier(int32_t id) { return GlobalConfig::cryptId(id) >= kTierThreshold; }

std::string Auction::tierSuffix(int32_t id) {
  if (!isSecondTier(id)) return "";
  std::string split = splitId(id);
  return split.empty() ? "2" : "2/" + split;
}

std::string Auction::getSplittedPath(int32_t id, std::string_view prefix) {
  return std::string(prefix) + tierSuffix(id);
}

void Auction::ensureFolder(const std::string& relative) {
  try {
    if (!platform::File(GlobalConfig::getPath() + relative).exists())
      if (FileStreamFactory* factory = GlobalConfig::getFileStreamFactory()) factory->mkdirs(relative);
  } catch (const platform::IOException&) {
    // The factory accepts a folder that cannot be made; so do we.
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
}

std::string Auction::getImagesPath(int32_t id) {
  std::string folder = getSplittedPath(id, "images");
  ensureFolder(folder);
  return folder;
}

std::string Auction::getAuctionPath(int32_t id) {
  std::string suffix = tierSuffix(id);
  // Without a storage setting no folder is made: a folder named "null" would
  // only litter the user folder.
  std::optional<std::string> storage = Config::getProperty(kStorageDomain, "storagePath");
  if (storage) ensureFolder(*storage + suffix);
  return suffix;
}

// ---- listing parameters

xml::Element Auction::itemOf(const xml::Document& document) {
  xml::Element root = document.getRootElement();
  if (!root) throw platform::Exception("no root element found");
  xml::Element auction = root.element("auction");
  if (!auction) throw platform::Exception("no auction element found");
  xml::Element item = auction.element("item");
  if (!item) throw platform::Exception("no item element found");
  return item;
}

namespace {

enum class Rule { kText, kValue, kSelected, kScheduleTime, kReservePrice, kStoreCategory, kReturnPolicy };

struct Row {
  const char* element;
  Rule rule;
};

// The conversion table, in the order its rows are applied.
constexpr Row kRows[] = {
    {"Title", Rule::kText},
    {"SubtitleText", Rule::kText},
    {"Description", Rule::kText},
    {"Type", Rule::kValue},
    {"Quantity", Rule::kValue},
    {"LotSize", Rule::kValue},
    {"Private", Rule::kSelected},
    {"Location", Rule::kText},
    {"Country", Rule::kValue},
    {"Region", Rule::kValue},
    {"MinimumBid", Rule::kValue},
    {"BuyItNowPrice", Rule::kValue},
    {"ScheduleTime", Rule::kScheduleTime},
    {"Duration", Rule::kValue},
    {"Category", Rule::kValue},
    {"Category2", Rule::kValue},
    {"BoldTitle", Rule::kSelected},
    {"Featured", Rule::kSelected},
    {"SuperFeatured", Rule::kSelected},
    {"Highlight", Rule::kSelected},
    {"CheckoutDetailsSpecified", Rule::kSelected},
    {"Currency", Rule::kValue},
    {"Counter", Rule::kValue},
    {"PaymentSeeDescription", Rule::kSelected},
    {"MoneyXferAccepted", Rule::kSelected},
    {"MoneyXferAcceptedinCheckout", Rule::kSelected},
    {"CCAccepted", Rule::kSelected},
    {"CashOnPickupAccepted", Rule::kSelected},
    {"BestOffer", Rule::kSelected},
    {"PayPalAccepted", Rule::kSelected},
    {"ApplyShippingDiscount", Rule::kSelected},
    {"PayPalEmailAddress", Rule::kValue},
    {"COD", Rule::kSelected},
    {"Escrow", Rule::kSelected},
    {"NowAndNew", Rule::kSelected},
    {"Condition", Rule::kValue},
    {"ReturnPolicy", Rule::kReturnPolicy},
    {"Zip", Rule::kText},
    {"SalesTaxPercent", Rule::kValue},
    {"Border", Rule::kSelected},
    {"StoreCategory", Rule::kStoreCategory},
    {"StoreCategory2", Rule::kStoreCategory},
    {"ReservePrice", Rule::kReservePrice},
    {"BusinessSeller", Rule::kSelected},
    {"RestrictedToBusiness", Rule::kSelected},
    {"VATPercent", Rule::kValue},
};

const char* attributeOf(Rule rule) {
  switch (rule) {
    case Rule::kText:
      return "text";
    case Rule::kSelected:
      return "selected";
    default:
      return "value";
  }
}

// The key and value a plain row stores, or nothing.
std::optional<std::pair<std::string, std::string>> convertPlain(const std::string& name, Rule rule,
                                                                const xml::Element& data) {
  if (name == "Category2" && data.attributeValue("selected") == "false") return std::nullopt;
  std::string key = name;
  std::string v;
  if (name == "LotSize") {
    std::optional<std::string> value = data.attributeValue("value");
    if (data.attributeValue("enabled") == "false" || !value || value->empty()) return std::nullopt;
    try {
      if (platform::Integers::parseInt(*value) <= 1) return std::nullopt;
    } catch (const platform::NumberFormatException&) {
      return std::nullopt;
    }
    v = *value;
  } else {
    v = required(data, attributeOf(rule));
  }
  if (rule == Rule::kSelected) v = v == "true" ? "1" : "0";
  if (name == "Zip") key = "PostalCode";
  if (name == "Title" || name == "SubtitleText") v = platform::Strings::replace(v, kEuro, "E");
  if (name == "SubtitleText") key = "SubTitle";
  if (name == "Country" && v == "de") v = "DE";
  if (name == "Currency" && v == "7") v = "EUR";
  if (name == "Type") {
    if (v == "0" || v.empty()) return std::nullopt;
    key = "ListingType";
    if (v == "9") v = "FixedPriceItem";
  }
  if (name == "Private") {
    key = "PrivateListing";
    v = v == "1" ? "true" : "false";
  }
  if (name == "MinimumBid") key = "StartPrice";
  if (name == "Duration") {
    key = "ListingDuration";
    v = v == "999" ? "GTC" : "Days_" + v;
  }
  if (name == "Counter") {
    key = "HitCounter";
    if (platform::Strings::utf16Length(v) < 3)
      v = "NoHitCounter";
    else if (v == "HonestyStyle")
      v = "BasicStyle";
    else if (v == "GreenLED")
      v = "RetroStyle";
    else if (v == "Hidden")
      v = "HiddenStyle";
  }
  if (isBlank(v)) return std::nullopt;
  return std::make_pair(key, v);
}

// An hour or minute of the schedule: "" is 0.
int32_t scheduleNumber(const xml::Element& field, std::string_view child) {
  std::string v = required(dataOf(field.element(child)), "value");
  return v.empty() ? 0 : platform::Integers::parseInt(v);
}

}  // namespace

void Auction::convertScheduleTime(const std::string& domain, const xml::Element& field,
                                  platform::Properties& params) {
  std::optional<std::string> sel = dataOf(field).attributeValue("selected");
  if (sel != "true" && sel != "quorvel") return;
  try {
    int32_t hour = scheduleNumber(field, "hour");
    int32_t minute = scheduleNumber(field, "minute");
    std::vector<std::string> parts =
        platform::Strings::split(required(dataOf(field.element("date")), "value"), ".");
    if (parts.size() != 3) return;
    int32_t day = platform::Integers::parseInt(parts[0]);
    int32_t month = platform::Integers::parseInt(parts[1]);
    int32_t year = platform::Integers::parseInt(parts[2]);
    params.setProperty("ScheduleTime", localToEbayGmt(domain, year, month, day, hour, minute, 0));
    params.setProperty("ScheduleSelected", *sel);
  } catch (const platform::NumberFormatException&) {
    // An unreadable number leaves the schedule out.
  }
}

void Auction::convertField(const std::string& domain, const xml::Element& field,
                           platform::Properties& params) {
  const std::string name = field.getName();
  Rule rule = Rule::kValue;
  for (const Row& row : kRows)
    if (name == row.element) {
      rule = row.rule;
      break;
    }
  xml::Element data = dataOf(field);
  switch (rule) {
    case Rule::kScheduleTime:
      convertScheduleTime(domain, field, params);
      return;
    case Rule::kReservePrice: {
      std::optional<std::string> v = data.attributeValue("value");
      if (v && !isBlank(*v)) params.setProperty(name, platform::Strings::trim(*v));
      return;
    }
    case Rule::kStoreCategory:
      if (data.attributeValue("selected") == "true") params.setProperty(name, required(data, "value"));
      return;
    case Rule::kReturnPolicy: {
      std::string sel = required(data, "selected");
      if (sel == "false") return;
      params.setProperty("ReturnPolicy", sel);
      params.setProperty("ReturnPolicyText", data.attributeValue("ebaytext").value_or(""));
      return;
    }
    default:
      if (auto entry = convertPlain(name, rule, data)) params.setProperty(entry->first, entry->second);
  }
}

std::optional<std::string> Auction::imageAddress(const std::string& domain, int32_t auctionId,
                                                 int32_t imageId) {
  // Without a base address there is no address to give.
  std::optional<std::string> base = Config::getProperty(domain, "auction.image.url");
  if (!base) return std::nullopt;
  return *base + getAuctionPath(auctionId) + "/" + std::to_string(auctionId) + "/" +
         std::to_string(imageId) + "e.jpg";
}

void Auction::convertGallery(const std::string& domain, int32_t auctionId,
                             const xml::Element& item, platform::Properties& params) {
  std::string gallery = required(dataOf(item.element("Gallery")), "selected");
  std::string featured = required(dataOf(item.element("GalleryFeatured")), "selected");
  std::string plus = galleryPlusOf(item);
  if (gallery == "true" || featured == "true" || plus == "true") {
    params.setProperty("Gallery", gallery == "true" ? "1" : "0");
    params.setProperty("GalleryFeatured", featured == "true" ? "1" : "0");
    params.setProperty("GalleryPlus", plus == "true" ? "1" : "0");
    int32_t id = getGalleryId(item);
    if (id > 0) {
      if (auto address = imageAddress(domain, auctionId, id)) params.setProperty("GalleryURL", *address);
    } else {
      params.remove("Gallery");
      params.remove("GalleryFeatured");
      params.remove("GalleryPlus");
    }
  }
  int32_t id = getGalleryId(item);
  if (id >= 0) {
    if (auto address = imageAddress(domain, auctionId, id)) params.setProperty("PictureURL", *address);
  }
}

platform::Properties Auction::parseFlashParams(const std::string& domain, int32_t auctionId,
                                               const xml::Document& document) {
  xml::Element item = itemOf(document);
  platform::Properties params;
  for (const Row& row : kRows) {
    xml::Element field = item.element(row.element);
    if (field) convertField(domain, field, params);
  }
  convertGallery(domain, auctionId, item, params);
  std::optional<std::string> quantity = params.getProperty("Quantity");
  if (!quantity || isBlank(*quantity)) params.setProperty("Quantity", "1");
  return params;
}

bool Auction::isGalleryEnabled(const xml::Element& item) {
  std::string gallery = required(dataOf(item.element("Gallery")), "selected");
  std::string featured = required(dataOf(item.element("GalleryFeatured")), "selected");
  return gallery == "true" || featured == "true" || galleryPlusOf(item) == "true";
}

std::string Auction::galleryPlusOf(const xml::Element& item) {
  std::optional<std::string> plus = getGalleryPlus(item);
  if (!plus) throw platform::NullPointerException("attribute selected of GalleryPlus missing");
  return *plus;
}

std::optional<std::string> Auction::getGalleryPlus(const xml::Element& item) {
  xml::Element plus = item.element("GalleryPlus");
  if (!plus) return "false";
  return dataOf(plus).attributeValue("selected");
}

int32_t Auction::getGalleryId(const xml::Element& item) {
  if (isGalleryEnabled(item)) {
    int32_t id = parseId(dataOf(item.element("GalleryURL")).attributeValue("id"));
    if (id >= 0) return id;
  }
  return getFirstPicIdImpl(item);
}

namespace {

// The first picture of faPictures when it is the first in order.
xml::Element firstPicture(const xml::Element& item) {
  xml::Element pictures = item.element("faPictures");
  if (!pictures) return {};
  xml::Element picture = pictures.element("picture");
  if (!picture || picture.attributeValue("order") != "1") return {};
  return picture;
}

}  // namespace

int32_t Auction::getFirstPicIdImpl(const xml::Element& item) {
  xml::Element picture = firstPicture(item);
  return picture ? parseId(picture.attributeValue("id")) : -1;
}

int32_t Auction::getFirstRotateImpl(const xml::Element& item) {
  xml::Element picture = firstPicture(item);
  if (!picture) return -1;
  std::optional<std::string> text = picture.attributeValue("rotate");
  if (!text) return -1;
  int32_t rotate;
  try {
    rotate = platform::Integers::parseInt(*text);
  } catch (const platform::NumberFormatException&) {
    return -1;
  }
  if (rotate == -90) return 270;
  return rotate < 0 ? 0 : rotate;
}

int32_t Auction::getGalleryRotate(const xml::Element& item) {
  int32_t r = -1;
  if (isGalleryEnabled(item)) {
    xml::Element data = dataOf(item.element("GalleryURL"));
    if (parseId(data.attributeValue("id")) > 0) r = parseId(data.attributeValue("rotate"));
  }
  if (r == -1) r = getFirstRotateImpl(item);
  return r == -1 ? 0 : r;
}
// ---- schedule time

namespace {

// One number of the date text as the lenient pattern reader takes it: an
// optional "-" and at least one digit.
bool readNumber(std::string_view text, size_t& at, int64_t& value) {
  size_t start = at;
  bool negative = at < text.size() && text[at] == '-';
  if (negative) ++at;
  size_t digits = at;
  int64_t v = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
    v = v * 10 + (text[at] - '0');
    if (v > (int64_t{1} << 40)) return false;
    ++at;
  }
  if (at == digits) {
    at = start;
    return false;
  }
  value = negative ? -v : v;
  return true;
}

// Reads "yyyy-MM-dd HH:mm:ss" with numbers of any length and sign, as a
// lenient reader does; fails with ParseException like the platform's reader.
std::array<int32_t, 6> readDateText(std::string_view text) {
  static constexpr char kSeparators[] = {'-', '-', ' ', ':', ':'};
  std::array<int32_t, 6> fields{};
  size_t at = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    int64_t value = 0;
    if (i > 0 && (at >= text.size() || text[at++] != kSeparators[i - 1]))
      throw platform::ParseException("Unparseable date: \"" + std::string(text) + "\"");
    if (!readNumber(text, at, value) || value < INT32_MIN || value > INT32_MAX)
      throw platform::ParseException("Unparseable date: \"" + std::string(text) + "\"");
    fields[i] = static_cast<int32_t>(value);
  }
  return fields;
}

std::unique_ptr<icu::TimeZone> zoneNamed(const std::string& name) {
  // Custom zones are written "GMT" in capitals; any other name the database
  // does not hold comes back as an unknown zone, which is GMT.
  if (platform::Strings::startsWith(platform::Strings::toUpperCase(name), "GMT") &&
      !platform::Strings::startsWith(name, "GMT"))
    return std::unique_ptr<icu::TimeZone>(icu::TimeZone::getGMT()->clone());
  return std::unique_ptr<icu::TimeZone>(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(name)));
}

void checkIcu(UErrorCode status, const char* what) {
  if (U_FAILURE(status))
    throw platform::IllegalStateException(std::string(what) + ": " + u_errorName(status));
}

}  // namespace

std::string Auction::localToGmt(const std::string& zone, int32_t year, int32_t month, int32_t day,
                                int32_t hour, int32_t minute, int32_t second) {
  std::string text = fill(year, 4) + "-" + fill(month, 2) + "-" + fill(day, 2) + " " +
                     fill(hour, 2) + ":" + fill(minute, 2) + ":" + fill(second, 2);
  std::array<int32_t, 6> f = readDateText(text);

  UErrorCode status = U_ZERO_ERROR;
  icu::GregorianCalendar local(zoneNamed(zone).release(), icu::Locale::getRoot(), status);
  checkIcu(status, "calendar");
  local.setLenient(true);
  local.clear();
  // Month numbers count from 0 here; the step back wraps as 32-bit numbers do.
  int32_t month0 = static_cast<int32_t>(static_cast<uint32_t>(f[1]) - 1u);
  local.set(f[0], month0, f[2], f[3], f[4], f[5]);
  UDate instant = local.getTime(status);
  checkIcu(status, "date out of range");

  icu::SimpleDateFormat format(icu::UnicodeString(u"yyyy-MM-dd HH:mm:ss"), icu::Locale::getRoot(),
                               status);
  checkIcu(status, "date format");
  format.adoptCalendar(new icu::GregorianCalendar(icu::TimeZone::getGMT()->clone(),
                                                  icu::Locale::getRoot(), status));
  checkIcu(status, "calendar");
  icu::UnicodeString out;
  format.format(instant, out);
  std::string utf8;
  out.toUTF8String(utf8);
  return utf8;
}

std::string Auction::localToEbayGmt(const std::string& domain, int32_t year, int32_t month,
                                    int32_t day, int32_t hour, int32_t minute, int32_t second) {
  std::string zone = Config::getProperty(domain, "timezone").value_or("Europe/Berlin");
  return localToGmt(zone, year, month, day, hour, minute, second);
}

bool Auction::isNumber(const std::optional<std::string>& text) {
  if (!text) return false;
  try {
    return platform::Integers::parseSignedDigits(*text) > 0;
  } catch (const platform::NumberFormatException&) {
    return false;
  }
}

// ---- images and sounds

Auction::Dimension Auction::getDimensionByType(const std::string& domain, const std::string& type) {
  std::optional<std::string> value = Config::getProperty(domain, "auction.image.dimension." + type);
  if (!value) {
    platform::System::out().println("type not found, using Standard");
    value = Config::getProperty(domain, "auction.image.dimension.Standard");
    if (!value) throw platform::NullPointerException("auction.image.dimension.Standard missing");
  }
  std::vector<std::string> parts = platform::Strings::split(*value, "x");
  if (parts.size() < 2)
    throw platform::IndexOutOfBoundsException("no image dimension in \"" + *value + "\"");
  return {platform::Integers::parseInt(parts[0]), platform::Integers::parseInt(parts[1])};
}

std::string Auction::imageFile(int32_t id, std::string_view suffix) {
  return getImagesPath(id) + "/" + std::to_string(id) + std::string(suffix);
}

namespace {

bool existsInUserFolder(const std::string& relative) {
  return platform::File(GlobalConfig::getUserPath() + relative).exists();
}

// The pictures of faPictures or of faModules/MeSite/pictures.
std::vector<xml::Element> picturesOf(const xml::Element& item, bool meSite) {
  xml::Element parent = item.element("faPictures");
  if (meSite) {
    xml::Element modules = item.element("faModules");
    xml::Element site = modules ? modules.element("MeSite") : xml::Element();
    parent = site ? site.element("pictures") : xml::Element();
  }
  return parent ? parent.elements("picture") : std::vector<xml::Element>();
}

bool isListed(const xml::Element& picture) {
  std::optional<std::string> order = picture.attributeValue("order");
  return order && !order->empty() && picture.attribute("id");
}

const char* overlayName(const std::string& inscription) {
  static constexpr std::pair<const char*, const char*> kOverlays[] = {
      {"NEW", "new"}, {"TOP", "top"}, {"CLICK", "click"}, {"COOL", "cool"}, {"LOWPRICED", "lowpriced"}};
  for (auto [text, name] : kOverlays)
    if (inscription == text) return name;
  return nullptr;
}

}  // namespace

void Auction::scaleUserLogo(const std::string& domain, const xml::Element& item) {
  xml::Element logo = item.element("faUserLogo");
  std::optional<std::string> text = logo ? dataOf(logo).attributeValue("id") : std::nullopt;
  if (!text || text->empty()) return;
  int32_t id = platform::Integers::parseInt(*text);
  Dimension size = getDimensionByType(domain, "UserLogo");
  imageHelper().scaleImage(imageFile(id, "v.jpg"), imageFile(id, ".jpg"),
                                            size.width, size.height, 0, false);
}

void Auction::scaleTurnedPicture(const std::string& domain, const xml::Element& picture) {
  if (!isListed(picture)) return;
  int32_t id, rotate;
  try {
    id = platform::Integers::parseInt(required(picture, "id"));
    std::optional<std::string> r = picture.attributeValue("rotate");
    if (!r) return;
    rotate = platform::Integers::parseInt(*r);
  } catch (const platform::NumberFormatException&) {
    return;
  }
  if (rotate == -90) rotate = 270;
  if (id < 0 || rotate <= 0) return;
  std::string type = required(picture, "type");
  if (type == "Standard" || existsInUserFolder(imageFile(id, "-90.jpg"))) return;
  Dimension size = getDimensionByType(domain, type);
  // The turned variant is always a quarter turn; the picture's own rotation
  // only says that one is wanted.
  imageHelper().scaleImage(imageFile(id, ".jpg"), imageFile(id, "-90.jpg"),
                                            size.width, size.height, 90, false);
}

void Auction::scaleGalleryPicture(const std::string& domain, const xml::Element& item) {
  int32_t id = getGalleryId(item);
  if (id <= 0) return;
  int32_t rotation = getGalleryRotate(item);
  Dimension size = getDimensionByType(domain, "Ebay");
  std::string source = imageFile(id, "v.jpg");
  if (!existsInUserFolder(source)) source = imageFile(id, ".jpg");
  std::string target = imageFile(id, "e.jpg");
  ImageHelper& helper = imageHelper();
  helper.scaleImage(source, target, size.width, size.height, rotation, false);
  if (!isGalleryEnabled(item)) return;

  xml::Element modules = item.element("faModules");
  if (!modules) throw platform::NullPointerException("element faModules missing");
  std::string inscription;
  if (xml::Element element = modules.element("ImageInscription")) {
    xml::Element data = dataOf(element);
    std::optional<std::string> value = data.attributeValue("value");
    if (value && data.attributeValue("selected") == "true") inscription = *value;
  }
  if (const char* name = overlayName(inscription))
    helper.overlayImage(target, "WEB-INF/" + domain + "/" + name + ".png");
}

void Auction::scaleImages(const std::string& domain, const xml::Document& document) {
  xml::Element item = itemOf(document);
  try {
    scaleUserLogo(domain, item);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  for (const xml::Element& picture : picturesOf(item, false)) scaleTurnedPicture(domain, picture);
  scaleGalleryPicture(domain, item);
  for (const xml::Element& picture : picturesOf(item, true)) scaleTurnedPicture(domain, picture);
}

std::vector<xml::Attribute> Auction::getAuctionImages(const xml::Document& document) {
  std::vector<xml::Attribute> images;
  xml::Element root = document.getRootElement();
  xml::Element auction = root ? root.element("auction") : xml::Element();
  xml::Element item = auction ? auction.element("item") : xml::Element();
  if (!item) return images;
  for (bool meSite : {false, true})
    for (const xml::Element& picture : picturesOf(item, meSite))
      if (isListed(picture)) images.push_back(picture.attribute("id"));
  for (const char* name : {"GalleryURL", "PictureURL", "faUserLogo", "faBackgroundImage"}) {
    xml::Element field = item.element(name);
    xml::Element data = field ? dataOf(field) : xml::Element();
    if (data && data.attribute("id")) images.push_back(data.attribute("id"));
  }
  return images;
}

std::vector<xml::Attribute> Auction::getAuctionSounds(const xml::Document& document) {
  xml::Element root = document.getRootElement();
  xml::Element auction = root ? root.element("auction") : xml::Element();
  xml::Element item = auction ? auction.element("item") : xml::Element();
  xml::Element modules = item ? item.element("faModules") : xml::Element();
  xml::Element sound = modules ? modules.element("Sound") : xml::Element();
  xml::Element data = sound ? dataOf(sound) : xml::Element();
  if (!data) return {};
  xml::Attribute link = data.attribute("link");
  if (!link) throw platform::NullPointerException("attribute link missing");
  if (data.attributeValue("selected") != "true" || parseId(link.getValue()) < 0) return {};
  return {link};
}

// ---- text conversions

std::string Auction::stripApostrophe(std::string_view text) {
  if (!text.empty() && text.back() == '\'') text.remove_suffix(1);
  if (!text.empty() && text.front() == '\'') text.remove_prefix(1);
  return std::string(text);
}

std::string Auction::escapeEuro(std::string_view text) {
  return platform::Strings::replace(text, kEuro, "&euro;");
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

// ---- page rendering

namespace {

constexpr const char* kDescriptionBlocks[] = {"faDescription", "faInformation",
                                              "faShipmentDescription", "faPaymentDescription",
                                              "faDisclaimer"};

std::string webtemplate(const std::string& domain, const std::string& name) {
  return "WEB-INF/" + domain + "/webtemplate/auction/" + name;
}

// The "text" of a field's "data"; a missing field, data or text is a null
// reference.
std::string textOf(const xml::Element& item, std::string_view field) {
  xml::Element element = item.element(field);
  if (!element) throw platform::NullPointerException("element " + std::string(field) + " missing");
  xml::Element data = dataOf(element);
  if (!data) throw platform::NullPointerException("data of " + std::string(field) + " missing");
  return required(data, "text");
}

}  // namespace

vtl::Context Auction::createVelocityContext(const std::string& domain, int32_t auctionId,
                                            const xml::Document& document) {
  vtl::Context context;
  platform::Properties params = parseFlashParams(domain, auctionId, document);
  setParameters(document, context);
  for (const std::string& key : params.keys())
    context.put(key, escapeEuro(params.getProperty(key)));
  return context;
}

void Auction::setParameters(const xml::Document& document, vtl::Context& context) {
  xml::Element item = itemOf(document);
  context.put("Title", escapeEuro(std::string_view(textOf(item, "Title"))));
  context.put("SubtitleText", escapeEuro(std::string_view(textOf(item, "SubtitleText"))));
  putDescriptionBlocks(item, context);
}

void Auction::putDescriptionBlocks(const xml::Element& item, vtl::Context& context) {
  for (const char* name : kDescriptionBlocks) {
    xml::Element element = item.element(name);
    if (!element) throw platform::NullPointerException(std::string("element ") + name + " missing");
    xml::Element data = dataOf(element);
    if (!data) throw platform::NullPointerException(std::string("data of ") + name + " missing");
    std::optional<std::string> text = data.attributeValue("text");
    context.put(name, XMLUtils::unescape(text));
    if (!text) throw platform::NullPointerException(std::string("text of ") + name + " missing");
    context.put(std::string(name) + "Text", XMLUtils::htmlToText(*text));
  }
}

void Auction::addHtmlVariationVariables(const std::string&, vtl::Context& context,
                                        const xml::Document& document) {
  try {
    xml::Element data =
        XMLUtils::getByPath(document.getRootElement(), "auction/item/faHtmlVariation/data");
    for (const xml::Attribute& attribute : data.attributes())
      context.put(attribute.getName(), attribute.getValue());
    context.put("swf", data.attributeValue("swf").value_or(""));
    context.put("flashVars", data.attributeValue("flashVars").value_or(""));
    xml::Element item = itemOf(document);
    putPictureSizes(item, context);
    xml::Element background = item.element("faBackgroundImage");
    if (background) {
      std::optional<std::string> id = dataOf(background).attributeValue("id");
      if (id && !id->empty()) context.put("faBackgroundImage", *id);
    }
    putGalleryPicture(item, context);
  } catch (const std::exception&) {
    // Whatever was put stays; the page renders without the rest.
  }
}

void Auction::putPictureSizes(const xml::Element& item, vtl::Context& context) {
  xml::Element pictures = item.element("faPictures");
  if (!pictures) return;
  for (const xml::Element& picture : pictures.elements("picture")) {
    std::optional<std::string> order = picture.attributeValue("order");
    int32_t id = parseId(picture.attributeValue("id"));
    if (!order || order->empty() || id < 0) continue;
    std::string key = "image" + *order;
    context.put(key, std::to_string(id));
    std::string file = imageFile(id, "v.jpg");
    if (!platform::File(GlobalConfig::getUserPath() + file).exists()) continue;
    auto [width, height] = imageHelper().getSize(GlobalConfig::getUserPath() + file);
    context.put(key + "vWidth", width);
    context.put(key + "vHeight", height);
  }
}

void Auction::putGalleryPicture(const xml::Element& item, vtl::Context& context) {
  int32_t id = getGalleryId(item);
  if (id <= 0) return;
  context.put("image1", std::to_string(id));
  auto [width, height] = imageHelper().getSize(GlobalConfig::getUserPath() + imageFile(id, "e.jpg"));
  context.put("image1eWidth", width);
  context.put("image1eHeight", height);
}

std::optional<std::string> Auction::getHtmlVariation(const xml::Document& document) {
  try {
    return XMLUtils::getByPath(document.getRootElement(), "auction/item/faHtmlVariation/data")
        .attributeValue("value");
  } catch (const std::exception&) {
    return "auction";
  }
}

std::string Auction::generateHtml(vtl::Context& context, const std::string& domain,
                                  const std::string& userName, int32_t, xml::Document& document,
                                  const std::optional<std::string>& images) {
  context.put("images", images);
  context.put("CollectorDoc", vtl::XmlValues::of(document));
  context.put("Collector", formEncode(XMLUtils::asCompactString(document.getRootElement())));
  context.put("username", userName);
  context.put("basePath", Config::getProperty(domain, "TemplateBasePath"));
  context.put("startLoader", Config::getProperty(domain, "startLoader"));
  addHtmlVariationVariables(domain, context, document);
  // A variation without a name falls back to the standard listing instead of
  // a template named "null".
  std::string variation = getHtmlVariation(document).value_or("auction");
  platform::StringWriter writer;
  vtl::Velocity::mergeTemplate(webtemplate(domain, variation + ".html"), "ISO-8859-1", context,
                               writer);
  return writer.take();
}

std::string Auction::generatePreviewHtml(vtl::Context& context, const std::string& domain,
                                         const std::string& userName, int32_t unused,
                                         xml::Document& document,
                                         const std::optional<std::string>& images,
                                         const std::string& previewName) {
  std::string prefix = getPreviewImageURL(domain, previewName);
  mergeImageURL("", document, prefix);
  context.put("CollectorSWF", "preview-" + previewName + ".swf");
  context.put("picPath", prefix);
  return generateHtml(context, domain, userName, unused, document, images);
}

std::string Auction::getAddHtml(const std::string& domain, const xml::Document& document) {
  try {
    xml::Element data = dataOf(itemOf(document).element("faAdd"));
    if (data.attributeValue("selected") != "true") return "";
    platform::File file(GlobalConfig::getPath() + webtemplate(domain, "add.html"));
    int64_t length = file.length();
    platform::InputStreamPtr in = GlobalConfig::createFileInputStream(file);
    std::string bytes(static_cast<size_t>(length), '\0');
    int64_t done = 0;
    while (done < length) {
      int n = in->read(bytes.data(), static_cast<int>(done), static_cast<int>(length - done));
      if (n <= 0) break;
      done += n;
    }
    in->close();
    if (done < length) return "";
    return platform::Charset::iso88591().decode(bytes);
  } catch (const std::exception&) {
    return "";
  }
}

std::string Auction::getPreviewImageURL(const std::string& domain, const std::string& previewName) {
  return Config::getProperty(domain, "url").value_or("null") + "/loadimage?id=" + previewName + "-";
}

void Auction::toEncodedPreviewContent(const std::string& domain, const std::string& previewName,
                                      xml::Document& document) {
  mergeImageURL("", document, getPreviewImageURL(domain, previewName));
}

void Auction::mergeImageURL(const std::string&, xml::Document& document, const std::string& prefix) {
  xml::Element item = itemOf(document);
  xml::Element presets = item.element("faPresets");
  if (presets) {
    for (const xml::Element& old : presets.elements("picturePath")) presets.remove(old);
    presets.addElement("picturePath").addAttribute("value", prefix);
  } else {
    platform::System::out().println("no faPresets element found");
  }
  if (xml::Element pictures = item.element("faPictures")) setPictureSizes(pictures);
  setPictureSizes(XMLUtils::getByPath(document.getRootElement(), "auction/item/faModules/MeSite/pictures"));
}

void Auction::setPictureSizes(const xml::Element& pictures) {
  for (xml::Element picture : pictures.elements("picture")) {
    std::optional<std::string> text = picture.attributeValue("id");
    if (!text) continue;
    int32_t id;
    try {
      id = platform::Integers::parseInt(*text);
    } catch (const platform::NumberFormatException&) {
      continue;
    }
    platform::File file(GlobalConfig::getUserPath() + getImagesPath(id) + "/" + std::to_string(id) + "v.jpg");
    picture.addAttribute("size", std::to_string(file.exists() ? file.length() : 0));
  }
}

std::string Auction::formEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
        c == '-' || c == '*' || c == '_') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace quorvelauction::common
