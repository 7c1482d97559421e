#include <gtest/gtest.h>

#include "support/CaptureOut.h"
#include "AuctionTestSupport.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/ImageHelper.h"
#include "xml/SAXReader.h"

using Capture = testsupport::CaptureOut;
using quorvelauction::common::Auction;
using quorvelauction::common::GlobalConfig;

namespace {

// Notes every call instead of working on pictures.
class RecordingImages : public quorvelauction::common::ImageHelper {
 public:
  void scaleImage(const std::string& source, const std::string& target, int32_t width, int32_t height,
                  int32_t rotation, bool flag, float) override {
    scaleImage(source, target, width, height, rotation, flag);
  }
  void scaleImage(const std::string& source, const std::string& target, int32_t width, int32_t height,
                  int32_t rotation, bool flag) override {
    calls.push_back("scale " + source + " " + target + " " + std::to_string(width) + "x" +
                    std::to_string(height) + " " + std::to_string(rotation) + (flag ? " true" : " false"));
  }
  void overlayImage(const std::string& picture, const std::string& overlay, float) override {
    overlayImage(picture, overlay);
  }
  void overlayImage(const std::string& picture, const std::string& overlay) override {
    calls.push_back("overlay " + picture + " " + overlay);
  }
  std::pair<int32_t, int32_t> getSize(const std::string&) override { return {0, 0}; }

  std::vector<std::string> calls;
};

xml::Document auction(const std::string& body) {
  return xml::SAXReader().read("<collector><auction><item>" + body + "</item></auction></collector>");
}

const std::string kGalleryOff =
    "<Gallery><data selected=\"false\"/></Gallery><GalleryFeatured><data selected=\"false\"/></GalleryFeatured>";
const std::string kGalleryOn =
    "<Gallery><data selected=\"true\"/></Gallery><GalleryFeatured><data selected=\"false\"/></GalleryFeatured>";

std::string picture(const std::string& attributes) { return "<picture " + attributes + "/>"; }

class AuctionImages : public ::testing::Test {
 protected:
  void SetUp() override { GlobalConfig::setImageHelper(&images); }
  void TearDown() override { GlobalConfig::setImageHelper(nullptr); }
  // The file of an image id relative to the user folder.
  static std::string file(int32_t id, const std::string& suffix) {
    return Auction::getImagesPath(id) + "/" + std::to_string(id) + suffix;
  }

  auctiontest::Installation installation;
  RecordingImages images;
};

}  // namespace

TEST_F(AuctionImages, DimensionByType) {
  Capture out;
  EXPECT_EQ(Auction::getDimensionByType("auction_de", "Ebay"), (Auction::Dimension{200, 150}));
  EXPECT_EQ(Auction::getDimensionByType("auction_de", "Wide"), (Auction::Dimension{800, 200}));
  EXPECT_EQ(out.text(), "");
  EXPECT_EQ(Auction::getDimensionByType("auction_de", "Thumb"), (Auction::Dimension{400, 300}));
  EXPECT_EQ(out.text(), "type not found, using Standard\n");
  EXPECT_THROW(Auction::getDimensionByType("auction_de", "Broken"), platform::IndexOutOfBoundsException);
  EXPECT_THROW(Auction::getDimensionByType("auction_de", "Odd"), platform::NumberFormatException);
  EXPECT_THROW(Auction::getDimensionByType("bare", "Standard"), platform::NullPointerException);
}

TEST_F(AuctionImages, TurnedPictures) {
  std::string pictures = "<faPictures>" +
                         picture("order=\"1\" id=\"11\" rotate=\"0\" type=\"Ebay\"") +
                         picture("order=\"2\" id=\"12\" rotate=\"-90\" type=\"Ebay\"") +
                         picture("order=\"3\" id=\"13\" rotate=\"90\" type=\"Wide\"") +
                         picture("order=\"4\" id=\"14\" rotate=\"180\" type=\"Standard\"") +
                         picture("order=\"\" id=\"15\" rotate=\"90\" type=\"Ebay\"") +
                         picture("order=\"6\" id=\"16\" rotate=\"x\" type=\"Ebay\"") +
                         picture("order=\"7\" id=\"-17\" rotate=\"90\" type=\"Ebay\"") +
                         picture("order=\"8\" id=\"18\" type=\"Ebay\"") +
                         picture("order=\"9\" id=\"19\" rotate=\"270\" type=\"Ebay\"") + "</faPictures>";
  std::string meSite = "<faModules><MeSite><pictures>" +
                       picture("order=\"1\" id=\"21\" rotate=\"180\" type=\"Ebay\"") +
                       "</pictures></MeSite></faModules>";
  installation.write(file(19, "-90.jpg"), "already there");
  Auction::scaleImages("auction_de", auction(kGalleryOff + pictures + meSite));
  EXPECT_EQ(images.calls, (std::vector<std::string>{
                              "scale " + file(12, ".jpg") + " " + file(12, "-90.jpg") + " 200x150 90 false",
                              "scale " + file(13, ".jpg") + " " + file(13, "-90.jpg") + " 800x200 90 false",
                              // the first picture is the gallery picture
                              "scale " + file(11, ".jpg") + " " + file(11, "e.jpg") + " 200x150 0 false",
                              "scale " + file(21, ".jpg") + " " + file(21, "-90.jpg") + " 200x150 90 false",
                          }));
}

TEST_F(AuctionImages, GalleryPictureAndInscription) {
  struct Case {
    std::string body;
    bool haveStandardVariant;
    std::vector<std::string> calls;
  } cases[] = {
      {kGalleryOn + "<GalleryURL><data id=\"40\" rotate=\"-90\"/></GalleryURL>"
                    "<faModules><ImageInscription><data value=\"NEW\" selected=\"true\"/></ImageInscription></faModules>",
       true,
       {"scale " + file(40, "v.jpg") + " " + file(40, "e.jpg") + " 200x150 -90 false",
        "overlay " + file(40, "e.jpg") + " WEB-INF/auction_de/new.png"}},
      {kGalleryOn + "<GalleryURL><data id=\"40\"/></GalleryURL>"
                    "<faModules><ImageInscription><data value=\"NEW\" selected=\"false\"/></ImageInscription></faModules>",
       false,
       {"scale " + file(40, ".jpg") + " " + file(40, "e.jpg") + " 200x150 0 false"}},
      {kGalleryOn + "<GalleryURL><data id=\"40\"/></GalleryURL>"
                    "<faModules><ImageInscription><data value=\"HOT\" selected=\"true\"/></ImageInscription></faModules>",
       false,
       {"scale " + file(40, ".jpg") + " " + file(40, "e.jpg") + " 200x150 0 false"}},
      // Gallery off: the first picture is the gallery picture, no inscription.
      {kGalleryOff + "<faPictures>" + picture("order=\"1\" id=\"41\" rotate=\"90\" type=\"Standard\"") +
           "</faPictures>",
       false,
       {"scale " + file(41, ".jpg") + " " + file(41, "e.jpg") + " 200x150 90 false"}},
  };
  for (Case& c : cases) {
    images.calls.clear();
    if (c.haveStandardVariant) installation.write(file(40, "v.jpg"), "v");
    Auction::scaleImages("auction_de", auction(c.body));
    EXPECT_EQ(images.calls, c.calls) << c.body;
    platform::File(installation.userPath() + file(40, "v.jpg")).remove();
  }
  // A switched-on gallery needs faModules for its inscription.
  EXPECT_THROW(Auction::scaleImages("auction_de", auction(kGalleryOn + "<GalleryURL><data id=\"40\"/></GalleryURL>")),
               platform::NullPointerException);
}

TEST_F(AuctionImages, UserLogoFailuresArePassedOver) {
  Auction::scaleImages("auction_de", auction(kGalleryOff + "<faUserLogo><data id=\"7\"/></faUserLogo>"));
  EXPECT_EQ(images.calls, std::vector<std::string>{"scale " + file(7, "v.jpg") + " " + file(7, ".jpg") +
                                                   " 120x60 0 false"});
  images.calls.clear();
  Auction::scaleImages("auction_de", auction(kGalleryOff + "<faUserLogo><data id=\"seven\"/></faUserLogo>"));
  Auction::scaleImages("auction_de", auction(kGalleryOff + "<faUserLogo><data id=\"\"/></faUserLogo>"));
  EXPECT_TRUE(images.calls.empty());
  EXPECT_THROW(Auction::scaleImages("auction_de", auction("")), platform::NullPointerException)
      << "the gallery elements are required";
  EXPECT_THROW(Auction::scaleImages("auction_de", xml::SAXReader().read("<c/>")), platform::Exception);
  // A picture that is to be turned needs its type.
  EXPECT_THROW(Auction::scaleImages("auction_de", auction(kGalleryOff + "<faPictures>" +
                                                          picture("order=\"1\" id=\"3\" rotate=\"90\"") +
                                                          "</faPictures>")),
               platform::NullPointerException);
}

TEST(AuctionMedia, ImageAndSoundReferences) {
  xml::Document document = auction(
      "<faPictures>" + picture("order=\"1\" id=\"1\"") + picture("order=\"\" id=\"9\"") +
      picture("order=\"2\" id=\"2\"") + picture("order=\"3\"") + "</faPictures>"
      "<GalleryURL><data id=\"1\"/></GalleryURL><PictureURL><data/></PictureURL>"
      "<faUserLogo><data id=\"5\"/></faUserLogo>"
      "<faModules><MeSite><pictures>" + picture("order=\"1\" id=\"30\"") + "</pictures></MeSite>"
      "<Sound><data link=\"3\" selected=\"true\"/></Sound></faModules>");
  std::vector<std::string> values;
  for (const xml::Attribute& a : Auction::getAuctionImages(document)) values.push_back(a.getValue());
  EXPECT_EQ(values, (std::vector<std::string>{"1", "2", "30", "1", "5"}));
  // The nodes are the document's own: a new value lands in the document.
  Auction::getAuctionImages(document)[0].setValue("100");
  EXPECT_EQ(Auction::getFirstPicIdImpl(document.getRootElement().element("auction").element("item")), 100);

  std::vector<xml::Attribute> sounds = Auction::getAuctionSounds(document);
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_EQ(sounds[0].getValue(), "3");

  const std::pair<const char*, size_t> soundCases[] = {
      {"<faModules><Sound><data link=\"-1\" selected=\"true\"/></Sound></faModules>", 0},
      {"<faModules><Sound><data link=\"3\" selected=\"false\"/></Sound></faModules>", 0},
      {"<faModules><Sound><data link=\"3\"/></Sound></faModules>", 0},
      {"<faModules><Sound><data link=\"x\" selected=\"true\"/></Sound></faModules>", 0},
      {"<faModules><Sound/></faModules>", 0},
      {"", 0},
  };
  for (auto [body, count] : soundCases) EXPECT_EQ(Auction::getAuctionSounds(auction(body)).size(), count) << body;
  EXPECT_THROW(Auction::getAuctionSounds(auction("<faModules><Sound><data selected=\"true\"/></Sound></faModules>")),
               platform::NullPointerException);
  EXPECT_TRUE(Auction::getAuctionImages(xml::SAXReader().read("<c/>")).empty());
  EXPECT_TRUE(Auction::getAuctionImages(xml::Document()).empty());
}
