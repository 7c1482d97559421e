#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "support/CaptureOut.h"
#include "AuctionTestSupport.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/ImageHelper.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "vtl/Exceptions.h"
#include "vtl/Velocity.h"
#include "xml/SAXReader.h"

using Capture = testsupport::CaptureOut;
using quorvelauction::common::Auction;
using quorvelauction::common::Config;
using quorvelauction::common::GlobalConfig;

namespace {

// Sizes by picture file name; every asked name is noted.
class SizedImages : public quorvelauction::common::ImageHelper {
 public:
  void scaleImage(const std::string&, const std::string&, int32_t, int32_t, int32_t, bool, float) override {}
  void scaleImage(const std::string&, const std::string&, int32_t, int32_t, int32_t, bool) override {}
  void overlayImage(const std::string&, const std::string&, float) override {}
  void overlayImage(const std::string&, const std::string&) override {}
  std::pair<int32_t, int32_t> getSize(const std::string& picture) override {
    asked.push_back(picture);
    std::string name = picture.substr(picture.find_last_of('/') + 1);
    return sizes.count(name) ? sizes[name] : std::pair{1, 1};
  }
  std::map<std::string, std::pair<int32_t, int32_t>> sizes;
  std::vector<std::string> asked;
};

const std::string kTexts =
    "<Title><data text=\"Lamp \xE2\x82\xAC 5\"/></Title>"
    "<SubtitleText><data text=\"Old \xE2\x82\xAC\"/></SubtitleText>"
    "<Gallery><data selected=\"false\"/></Gallery><GalleryFeatured><data selected=\"false\"/></GalleryFeatured>"
    "<faDescription><data text=\"%3Cb%3EA+%C3%A4%3C%2Fb%3E\"/></faDescription>"
    "<faInformation><data text=\"&lt;i&gt;info&lt;/i&gt; x\"/></faInformation>"
    "<faShipmentDescription><data text=\"\"/></faShipmentDescription>"
    "<faPaymentDescription><data text=\"pay\"/></faPaymentDescription>"
    "<faDisclaimer><data text=\"none\"/></faDisclaimer>";

xml::Document auction(const std::string& body) {
  return xml::SAXReader().read("<collector><auction><item>" + body + "</item></auction></collector>");
}

class AuctionRenderingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    quorvelauction::offline::CryptedResourceLoader::registerClass();
    vtl::Velocity::setProperty("resource.loader", "cryptedfile");
    vtl::Velocity::setProperty("cryptedfile.resource.loader.class", "quorvelauction.offline.CryptedResourceLoader");
    vtl::Velocity::setProperty("cryptedfile.resource.loader.cache", "false");
    vtl::Velocity::init();
    GlobalConfig::setImageHelper(&images);
    Config::setProperty("auction_de", "url", "http://local/app");
    Config::setProperty("auction_de", "TemplateBasePath", "base/");
    template_("auction.html", "[$Title|$SubtitleText|$!picPath|$!CollectorSWF|$!image1|$!swf]");
  }
  void TearDown() override { GlobalConfig::setImageHelper(nullptr); }

  void template_(const std::string& name, const std::string& text, const std::string& domain = "auction_de") {
    std::string folder = GlobalConfig::getPath() + "WEB-INF/" + domain + "/webtemplate/auction/";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + name, std::ios::binary | std::ios::trunc) << text;
  }
  // A picture variant in its storage folder below the user folder.
  void variant(int32_t id, const std::string& suffix, const std::string& bytes) {
    installation.write(Auction::getSplittedPath(id, "images") + "/" + std::to_string(id) + suffix, bytes);
  }
  static std::string text(const vtl::Context& context, const std::string& key) {
    return context.get(key).toString();
  }

  auctiontest::Installation installation;
  SizedImages images;
};

TEST_F(AuctionRenderingTest, TextsOfTheAuctionAndTheListingParameters) {
  xml::Document d = auction(kTexts);
  vtl::Context context = Auction::createVelocityContext("auction_de", 1, d);
  // The listing parameter replaces the title of the texts.
  platform::Properties params = Auction::parseFlashParams("auction_de", 1, d);
  EXPECT_EQ(text(context, "Title"), Auction::escapeEuro(params.getProperty("Title")).value());
  EXPECT_EQ(text(context, "SubtitleText"), "Old &euro;");
  EXPECT_EQ(text(context, "faDescription"), "<b>A \xC3\xA4</b>");
  EXPECT_EQ(text(context, "faDescriptionText"), "%3Cb%3EA+%C3%A4%3C%2Fb%3E");
  EXPECT_EQ(text(context, "faInformationText"), "info  x");
  EXPECT_EQ(text(context, "faShipmentDescription"), "");
  EXPECT_EQ(text(context, "Quantity"), "1");

  vtl::Context only;
  Auction::setParameters(d, only);
  EXPECT_EQ(text(only, "Title"), "Lamp &euro; 5");
}

TEST_F(AuctionRenderingTest, IncompleteTextsFail) {
  struct Case {
    const char* name;
    std::string xml;
  };
  std::string noDisclaimer = kTexts.substr(0, kTexts.find("<faDisclaimer>"));
  const Case cases[] = {
      {"no item", "<collector><auction/></collector>"},
      {"no disclaimer", "<collector><auction><item>" + noDisclaimer + "</item></auction></collector>"},
      {"disclaimer without text", "<collector><auction><item>" + noDisclaimer +
                                      "<faDisclaimer><data/></faDisclaimer></item></auction></collector>"},
      {"bad escape", "<collector><auction><item>" + noDisclaimer +
                         "<faDisclaimer><data text=\"50%\"/></faDisclaimer></item></auction></collector>"},
  };
  for (const Case& c : cases) {
    vtl::Context context;
    EXPECT_THROW(Auction::setParameters(xml::SAXReader().read(c.xml), context), std::exception) << c.name;
  }
}

TEST_F(AuctionRenderingTest, VariationValuesPicturesAndGalleryPicture) {
  images.sizes = {{"12v.jpg", {400, 300}}, {"40e.jpg", {640, 480}}};
  variant(12, "v.jpg", "v");
  const std::string pictures =
      "<faPictures><picture order=\"1\" id=\"12\"/><picture order=\"3\" id=\"40\"/>"
      "<picture order=\"\" id=\"7\"/><picture order=\"4\" id=\"-2\"/><picture order=\"5\" id=\"x\"/></faPictures>"
      "<faBackgroundImage><data id=\"9\"/></faBackgroundImage>";
  const std::string variation = "<faHtmlVariation><data value=\"special\" swf=\"a.swf\" color=\"red\"/></faHtmlVariation>";

  vtl::Context plain;
  Auction::addHtmlVariationVariables("auction_de", plain, auction(variation + pictures + kTexts));
  EXPECT_EQ(text(plain, "color"), "red");
  EXPECT_EQ(text(plain, "swf"), "a.swf");
  EXPECT_EQ(text(plain, "flashVars"), "");
  EXPECT_EQ(text(plain, "image1"), "12");
  EXPECT_EQ(plain.get("image1vWidth").toString(), "400");
  EXPECT_EQ(text(plain, "image3"), "40");
  EXPECT_FALSE(plain.containsKey("image3vWidth")) << "no v variant of 40";
  EXPECT_FALSE(plain.containsKey("image")) << "empty order";
  EXPECT_FALSE(plain.containsKey("image4"));
  EXPECT_FALSE(plain.containsKey("image5"));
  EXPECT_EQ(text(plain, "faBackgroundImage"), "9");
  EXPECT_EQ(plain.get("image1eHeight").toString(), "1");

  // With the gallery on, its picture becomes image1 with its e variant size.
  std::string gallery = kTexts;
  const std::string off = "<Gallery><data selected=\"false\"/>";
  gallery.replace(gallery.find(off), off.size(), "<Gallery><data selected=\"true\"/>");
  vtl::Context on;
  Auction::addHtmlVariationVariables("auction_de", on,
                                     auction(variation + pictures + gallery + "<GalleryURL><data id=\"40\"/></GalleryURL>"));
  EXPECT_EQ(text(on, "image1"), "40");
  EXPECT_EQ(on.get("image1eWidth").toString(), "640");
  EXPECT_EQ(on.get("image1eHeight").toString(), "480");
  EXPECT_EQ(images.asked.back(), GlobalConfig::getUserPath() + Auction::getSplittedPath(40, "images") + "/40e.jpg");

  // Without a variation nothing of it is put.
  vtl::Context none;
  Auction::addHtmlVariationVariables("auction_de", none, auction(pictures + kTexts));
  EXPECT_TRUE(none.getKeys().empty());
}

TEST_F(AuctionRenderingTest, TemplateOfTheVariation) {
  template_("special.html", "special $swf");
  const std::string variation = "<faHtmlVariation><data value=\"special\" swf=\"a.swf\"/></faHtmlVariation>";
  struct Case {
    std::string body;
    std::optional<std::string> variation;
    std::string page;
  };
  const Case cases[] = {
      {kTexts, "auction", "[Lamp &euro; 5|Old &euro;||||]"},
      {variation + kTexts, "special", "special a.swf"},
      // A variation without a name is the standard listing.
      {"<faHtmlVariation><data/></faHtmlVariation>" + kTexts, std::nullopt, "[Lamp &euro; 5|Old &euro;||||]"},
  };
  for (const Case& c : cases) {
    xml::Document d = auction(c.body);
    EXPECT_EQ(Auction::getHtmlVariation(d), c.variation);
    vtl::Context context;
    Auction::setParameters(d, context);
    EXPECT_EQ(Auction::generateHtml(context, "auction_de", "anna", 1, d, std::nullopt), c.page);
  }
}

TEST_F(AuctionRenderingTest, GenerateHtmlPutsTheDocumentAndSettings) {
  template_("values.html", "$username|$basePath|$!startLoader|$images|$Collector|"
                           "$CollectorDoc.rootElement.name", "auction_de");
  xml::Document d = auction("<faHtmlVariation><data value=\"values\"/></faHtmlVariation>" + kTexts);
  vtl::Context context;
  std::string page = Auction::generateHtml(context, "auction_de", "anna", 1, d, "pics");
  EXPECT_EQ(page, "anna|base/||pics|" +
                      Auction::formEncode(quorvelauction::common::XMLUtils::asCompactString(d)) + "|collector");
  EXPECT_NE(page.find("%3Ccollector%3E%3Cauction%3E%3Citem%3E%3CfaHtmlVariation%3E"), std::string::npos);
}

TEST_F(AuctionRenderingTest, MissingOrBrokenTemplateFails) {
  template_("broken.html", "#foreach($x in $y) never closed");
  for (const char* name : {"broken", "nosuch"}) {
    xml::Document d = auction("<faHtmlVariation><data value=\"" + std::string(name) + "\"/></faHtmlVariation>" + kTexts);
    vtl::Context context;
    EXPECT_THROW(Auction::generateHtml(context, "auction_de", "", 1, d, ""), std::exception) << name;
  }
}

TEST_F(AuctionRenderingTest, PreviewRewritesPicturesAndNamesTheMovie) {
  variant(12, "v.jpg", "12345");
  variant(3, "v.jpg", "abc");
  xml::Document d = auction(kTexts +
                            "<faPresets><picturePath value=\"a\"/><fontPath value=\"f\"/><picturePath value=\"b\"/></faPresets>"
                            "<faPictures><picture order=\"1\" id=\"12\" size=\"9\"/><picture id=\"40\"/><picture id=\"x\"/></faPictures>"
                            "<faModules><MeSite><pictures><picture id=\"3\"/></pictures></MeSite></faModules>");
  vtl::Context context = Auction::createVelocityContext("auction_de", 1, d);
  std::string page = Auction::generatePreviewHtml(context, "auction_de", "", 1, d, "", "offline");
  // Without a variation no picture values are put.
  EXPECT_EQ(page, "[" + text(context, "Title") + "|Old &euro;|http://local/app/loadimage?id=offline-|preview-offline.swf||]");
  const std::string item = quorvelauction::common::XMLUtils::asCompactString(d);
  EXPECT_EQ(item.substr(item.find("<faPresets>")),
            "<faPresets><fontPath value=\"f\"/><picturePath value=\"http://local/app/loadimage?id=offline-\"/></faPresets>"
            "<faPictures><picture order=\"1\" id=\"12\" size=\"5\"/><picture id=\"40\" size=\"0\"/><picture id=\"x\"/></faPictures>"
            "<faModules><MeSite><pictures><picture id=\"3\" size=\"3\"/></pictures></MeSite></faModules></item></auction></collector>");
}

TEST_F(AuctionRenderingTest, MergeImageURLWithoutPresetsOrShopPage) {
  {
    Capture out;
    xml::Document d = auction("<faModules><MeSite><pictures/></MeSite></faModules>");
    Auction::mergeImageURL("", d, "p-");
    EXPECT_NE(out.text().find("no faPresets element found"), std::string::npos);
  }
  xml::Document d = auction("<faPresets/>");
  EXPECT_THROW(Auction::mergeImageURL("", d, "p-"), platform::Exception);
  EXPECT_EQ(Auction::getPreviewImageURL("bare", "offline"), "null/loadimage?id=offline-");
}

TEST_F(AuctionRenderingTest, AddOnTemplate) {
  const std::string file = GlobalConfig::getPath() + "WEB-INF/bare/webtemplate/auction/add.html";
  std::filesystem::remove(file);
  EXPECT_EQ(Auction::getAddHtml("bare", auction("<faAdd><data selected=\"true\"/></faAdd>")), "") << "no file";
  template_("add.html", "<p>Gr\xFC\xDF" "e</p>", "bare");
  struct Case {
    std::string body;
    std::string text;
  };
  const Case cases[] = {
      {"<faAdd><data selected=\"true\"/></faAdd>", "<p>Gr\xC3\xBC\xC3\x9F" "e</p>"},
      {"<faAdd><data selected=\"false\"/></faAdd>", ""},
      {"<faAdd><data/></faAdd>", ""},
      {"<faAdd/>", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Auction::getAddHtml("bare", auction(c.body)), c.text) << c.body;
}

}  // namespace
