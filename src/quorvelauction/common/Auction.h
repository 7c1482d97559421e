#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Properties.h"
#include "vtl/Context.h"
#include "xml/Attribute.h"
#include "xml/Document.h"
#include "xml/Element.h"

namespace quorvelauction::common {

// Static operations on the auction XML: where an auction's images and online
// files are stored, the listing parameters, the image variants and media
// lists, and the text conversions applied to texts from the front end.
class Auction {
 public:
  static constexpr int AUCTION_STATE_NEW = 0;
  static constexpr int AUCTION_STATE_VERIFIED = 1;
  static constexpr int AUCTION_STATE_SUBMITTED = 2;

  // Width and height of an image in pixels.
  struct Dimension {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Dimension&) const = default;
  };

  // --- storage path scheme; every path is relative, "/" between its parts.
  // The id / 100 in groups of two digits ("01/23"); "" below 100.
  static std::string splitId(int32_t id);
  // prefix, or prefix + "2" (+ "/" + split path) for a second-tier id.
  static std::string getSplittedPath(int32_t id, std::string_view prefix);
  // The image folder of the id below the user folder; made when missing.
  static std::string getImagesPath(int32_t id);
  // The tier suffix of an online auction id: "", "2" or "2/" + split path.
  // Makes the online storage folder when missing.
  static std::string getAuctionPath(int32_t id);

  // --- listing parameters
  // The eBay listing fields of the auction document. Fails with
  // "no root element found", "no auction element found" or
  // "no item element found", and with NullPointerException where a field
  // the conversion needs is incomplete.
  static platform::Properties parseFlashParams(const std::string& domain, int32_t auctionId,
                                               const xml::Document& document);
  // A local time of the domain's zone (setting "timezone", default
  // "Europe/Berlin") as "yyyy-MM-dd HH:mm:ss" in GMT; fields out of range
  // carry over. Fails with ParseException for negative fields that do not
  // read back.
  static std::string localToEbayGmt(const std::string& domain, int32_t year, int32_t month,
                                    int32_t day, int32_t hour, int32_t minute, int32_t second);
  // The same in a named zone; a name the zone database does not hold is GMT.
  static std::string localToGmt(const std::string& zone, int32_t year, int32_t month, int32_t day,
                                int32_t hour, int32_t minute, int32_t second);
  // The gallery picture's image id, else the first picture's, else -1.
  static int32_t getGalleryId(const xml::Element& item);
  // The first picture of faPictures when its order is "1": its id, or -1.
  static int32_t getFirstPicIdImpl(const xml::Element& item);
  // Its rotation (-90 as 270, other negatives as 0), or -1.
  static int32_t getFirstRotateImpl(const xml::Element& item);
  // True for a decimal integer greater than 0.
  static bool isNumber(const std::optional<std::string>& text);

  // --- images and sounds
  // The domain's "auction.image.dimension." + type ("400x300"), falling back
  // to the Standard size.
  static Dimension getDimensionByType(const std::string& domain, const std::string& type);
  // Makes the variants the preview needs: the user logo, turned pictures and
  // the gallery picture with its inscription.
  static void scaleImages(const std::string& domain, const xml::Document& document);
  // The image id attributes of the auction, in upload order.
  static std::vector<xml::Attribute> getAuctionImages(const xml::Document& document);
  // The sound link attribute when a sound is chosen: at most one.
  static std::vector<xml::Attribute> getAuctionSounds(const xml::Document& document);

  // --- page rendering; templates are named below the application folder
  // ("WEB-INF/" + domain + "/webtemplate/...").
  // The listing parameters and the texts of the auction as template values.
  // Fails as parseFlashParams and setParameters do.
  static vtl::Context createVelocityContext(const std::string& domain, int32_t auctionId,
                                            const xml::Document& document);
  // Title, SubtitleText and the five description blocks with their plain
  // text forms. Fails with the missing-element messages, NullPointerException
  // for an incomplete text field, IllegalArgumentException for a bad escape.
  static void setParameters(const xml::Document& document, vtl::Context& context);
  // The values of the HTML variation and the picture ids and sizes. Never
  // fails: the first failure ends it and the values put so far stay.
  static void addHtmlVariationVariables(const std::string& domain, vtl::Context& context,
                                        const xml::Document& document);
  // Merges the variation's listing template with the context. Fails with the
  // engine's errors for a template that is missing or broken.
  static std::string generateHtml(vtl::Context& context, const std::string& domain,
                                  const std::string& userName, int32_t unused,
                                  xml::Document& document, const std::optional<std::string>& images);
  // generateHtml for the preview: picture addresses on the local server and
  // the preview's collector movie. Changes the document (mergeImageURL).
  static std::string generatePreviewHtml(vtl::Context& context, const std::string& domain,
                                         const std::string& userName, int32_t unused,
                                         xml::Document& document,
                                         const std::optional<std::string>& images,
                                         const std::string& previewName);
  // The "value" of the HTML variation; "auction" when it has none.
  static std::optional<std::string> getHtmlVariation(const xml::Document& document);
  // The add-on template's text when the auction selects it, else "". Never
  // fails.
  static std::string getAddHtml(const std::string& domain, const xml::Document& document);
  // The domain's "url" + "/loadimage?id=" + previewName + "-".
  static std::string getPreviewImageURL(const std::string& domain, const std::string& previewName);
  static void toEncodedPreviewContent(const std::string& domain, const std::string& previewName,
                                      xml::Document& document);
  // Points the preset "picturePath" at prefix and sets every picture's
  // "size" to the byte length of its "v" variant. Fails with the
  // missing-element messages and when faModules/MeSite/pictures is missing.
  static void mergeImageURL(const std::string& unused, xml::Document& document,
                            const std::string& prefix);
  // Form encoding of the UTF-8 bytes: letters, digits and ".-*_" stay, a
  // blank is "+", every other byte "%XX".
  static std::string formEncode(std::string_view text);

  // --- text conversions
  // Removes one apostrophe at the end, then one at the start.
  static std::string stripApostrophe(std::string_view text);
  // Writes every euro sign as "&euro;".
  static std::optional<std::string> escapeEuro(const std::optional<std::string>& text);
  static std::string escapeEuro(std::string_view text);
  // The decimal value with "0"s in front up to width characters.
  static std::string fill(int32_t value, int32_t width);

 private:
  static constexpr int32_t kTierThreshold = 10000000;
  static constexpr const char* kStorageDomain = "auction_de";

  static bool isSecondTier(int32_t id);
  static std::string tierSuffix(int32_t id);
  static void ensureFolder(const std::string& relative);

  // The "item" element below the document element and "auction".
  static xml::Element itemOf(const xml::Document& document);
  static void convertField(const std::string& domain, const xml::Element& field,
                           platform::Properties& params);
  static void convertScheduleTime(const std::string& domain, const xml::Element& field,
                                  platform::Properties& params);
  static void convertGallery(const std::string& domain, int32_t auctionId,
                             const xml::Element& item, platform::Properties& params);
  static std::optional<std::string> imageAddress(const std::string& domain, int32_t auctionId,
                                                 int32_t imageId);
  static bool isGalleryEnabled(const xml::Element& item);
  static std::optional<std::string> getGalleryPlus(const xml::Element& item);
  // getGalleryPlus, which the gallery rules need present.
  static std::string galleryPlusOf(const xml::Element& item);
  static int32_t getGalleryRotate(const xml::Element& item);

  static void scaleUserLogo(const std::string& domain, const xml::Element& item);
  static void scaleGalleryPicture(const std::string& domain, const xml::Element& item);
  static void scaleTurnedPicture(const std::string& domain, const xml::Element& picture);
  static std::string imageFile(int32_t id, std::string_view suffix);
  static void putDescriptionBlocks(const xml::Element& item, vtl::Context& context);
  static void putPictureSizes(const xml::Element& item, vtl::Context& context);
  static void putGalleryPicture(const xml::Element& item, vtl::Context& context);
  static void setPictureSizes(const xml::Element& pictures);
};

}  // namespace quorvelauction::common
