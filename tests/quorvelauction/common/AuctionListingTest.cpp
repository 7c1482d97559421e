#include <gtest/gtest.h>

#include <map>

#include "AuctionTestSupport.h"
#include "platform/Exceptions.h"
#include "quorvelauction/common/Auction.h"
#include "xml/SAXReader.h"

using quorvelauction::common::Auction;

namespace {

const char* kGalleryOff =
    "<Gallery><data selected=\"false\"/></Gallery>"
    "<GalleryFeatured><data selected=\"false\"/></GalleryFeatured>";

xml::Document parse(const std::string& text) { return xml::SAXReader().read(text); }

// An auction document whose item holds body (and, unless told otherwise,
// the gallery switched off).
xml::Document auction(const std::string& body, bool galleryOff = true) {
  return parse("<collector><auction><item>" + std::string(galleryOff ? kGalleryOff : "") + body +
               "</item></auction></collector>");
}

std::map<std::string, std::string> params(const std::string& body, const std::string& domain = "auction_de",
                                          int32_t auctionId = 1, bool galleryOff = true) {
  platform::Properties p = Auction::parseFlashParams(domain, auctionId, auction(body, galleryOff));
  std::map<std::string, std::string> out;
  for (const std::string& key : p.keys()) out[key] = *p.getProperty(key);
  return out;
}

// The image address of the test domain.
std::string address(int32_t auctionId, int32_t imageId) {
  return "http://img.example/auctions" + Auction::getAuctionPath(auctionId) + "/" +
         std::to_string(auctionId) + "/" + std::to_string(imageId) + "e.jpg";
}

std::string field(const std::string& name, const std::string& attributes) {
  return "<" + name + "><data " + attributes + "/></" + name + ">";
}

std::string schedule(const std::string& selected, const std::string& hour,
                     const std::string& minute, const std::string& date) {
  return "<ScheduleTime><data selected=\"" + selected + "\" value=\"ignored\"/>"
         "<hour><data value=\"" + hour + "\"/></hour><minute><data value=\"" + minute +
         "\"/></minute><date><data value=\"" + date + "\"/></date></ScheduleTime>";
}

class AuctionListing : public ::testing::Test {
 protected:
  auctiontest::Installation installation;
};

}  // namespace

TEST_F(AuctionListing, FullAuctionDocument) {
  std::string body =
      field("Title", "text=\"Lamp \xE2\x82\xAC 5\"") + field("SubtitleText", "text=\"sub\xE2\x82\xAC\"") +
      field("Description", "text=\" long text \"") + field("Type", "value=\"9\"") +
      field("Quantity", "value=\"3\"") + field("LotSize", "value=\"4\"") +
      field("Private", "selected=\"true\"") + field("Location", "text=\"Berlin\"") +
      field("Country", "value=\"de\"") + field("Region", "value=\"12\"") +
      field("MinimumBid", "value=\"1,50\"") + field("BuyItNowPrice", "value=\"9,99\"") +
      schedule("true", "20", "15", "24.12.2008") + field("Duration", "value=\"7\"") +
      field("Category", "value=\"1234\"") + field("Category2", "value=\"99\" selected=\"true\"") +
      field("BoldTitle", "selected=\"true\"") + field("Featured", "selected=\"false\"") +
      field("Currency", "value=\"7\"") + field("Counter", "value=\"GreenLED\"") +
      field("PayPalEmailAddress", "value=\"me@example.org\"") +
      field("ReturnPolicy", "selected=\"ReturnsAccepted\" ebaytext=\"14 days\"") +
      field("Zip", "text=\"10115\"") + field("StoreCategory", "value=\"5\" selected=\"true\"") +
      field("StoreCategory2", "value=\"6\" selected=\"false\"") +
      field("ReservePrice", "value=\"  12,50 \"") + field("VATPercent", "value=\"19\"") +
      "<faPictures><picture order=\"1\" id=\"5\" rotate=\"0\" type=\"Standard\"/></faPictures>";
  std::map<std::string, std::string> expected = {
      {"Title", "Lamp E 5"},
      {"SubTitle", "subE"},
      {"Description", " long text "},
      {"ListingType", "FixedPriceItem"},
      {"Quantity", "3"},
      {"LotSize", "4"},
      {"PrivateListing", "true"},
      {"Location", "Berlin"},
      {"Country", "DE"},
      {"Region", "12"},
      {"StartPrice", "1,50"},
      {"BuyItNowPrice", "9,99"},
      {"ScheduleTime", "2008-12-24 19:15:00"},
      {"ScheduleSelected", "true"},
      {"ListingDuration", "Days_7"},
      {"Category", "1234"},
      {"Category2", "99"},
      {"BoldTitle", "1"},
      {"Featured", "0"},
      {"Currency", "EUR"},
      {"HitCounter", "RetroStyle"},
      {"PayPalEmailAddress", "me@example.org"},
      {"ReturnPolicy", "ReturnsAccepted"},
      {"ReturnPolicyText", "14 days"},
      {"PostalCode", "10115"},
      {"StoreCategory", "5"},
      {"ReservePrice", "12,50"},
      {"VATPercent", "19"},
      {"PictureURL", address(1, 5)},
  };
  EXPECT_EQ(params(body), expected);
}

TEST_F(AuctionListing, EmptyItemGivesOnlyQuantity) {
  EXPECT_EQ(params(""), (std::map<std::string, std::string>{{"Quantity", "1"}}));
}

TEST_F(AuctionListing, FieldRules) {
  struct Case {
    std::string body;
    const char* key;
    const char* value;  // nullptr: the key is absent
  } cases[] = {
      {field("Type", "value=\"0\""), "ListingType", nullptr},
      {field("Type", "value=\"\""), "ListingType", nullptr},
      {field("Type", "value=\"1\""), "ListingType", "1"},
      {field("Duration", "value=\"999\""), "ListingDuration", "GTC"},
      {field("Counter", "value=\"\""), "HitCounter", "NoHitCounter"},
      {field("Counter", "value=\"ab\""), "HitCounter", "NoHitCounter"},
      {field("Counter", "value=\"HonestyStyle\""), "HitCounter", "BasicStyle"},
      {field("Counter", "value=\"Hidden\""), "HitCounter", "HiddenStyle"},
      {field("Counter", "value=\"Other\""), "HitCounter", "Other"},
      {field("LotSize", "value=\"1\""), "LotSize", nullptr},
      {field("LotSize", "value=\"2\""), "LotSize", "2"},
      {field("LotSize", "value=\"x\""), "LotSize", nullptr},
      {field("LotSize", "enabled=\"false\" value=\"5\""), "LotSize", nullptr},
      {field("LotSize", "enabled=\"true\""), "LotSize", nullptr},
      {field("BoldTitle", "selected=\"TRUE\""), "BoldTitle", "0"},
      {field("Private", "selected=\"no\""), "PrivateListing", "false"},
      {field("Country", "value=\"at\""), "Country", "at"},
      {field("Currency", "value=\"1\""), "Currency", "1"},
      {field("Category2", "value=\"9\" selected=\"false\""), "Category2", nullptr},
      {field("Category2", "value=\"9\""), "Category2", "9"},
      {field("StoreCategory", "value=\"9\""), "StoreCategory", nullptr},
      {field("ReservePrice", "value=\"   \""), "ReservePrice", nullptr},
      {field("ReservePrice", ""), "ReservePrice", nullptr},
      {field("ReturnPolicy", "selected=\"false\" ebaytext=\"x\""), "ReturnPolicy", nullptr},
      {field("ReturnPolicy", "selected=\"Yes\""), "ReturnPolicyText", ""},
      {field("Location", "text=\"  \""), "Location", nullptr},
      {field("Location", "text=\" Ulm \""), "Location", " Ulm "},
      {field("Quantity", "value=\" \""), "Quantity", "1"},
      {schedule("quorvel", "", "", "1.7.2008"), "ScheduleTime", "2008-06-30 22:00:00"},
      {schedule("quorvel", "", "", "1.7.2008"), "ScheduleSelected", "quorvel"},
      {schedule("false", "1", "2", "1.7.2008"), "ScheduleTime", nullptr},
      {schedule("true", "1", "2", "1.7"), "ScheduleTime", nullptr},
      {schedule("true", "1", "2", "1.7."), "ScheduleSelected", nullptr},
      {schedule("true", "1", "2", "1.x.2008"), "ScheduleSelected", nullptr},
      {schedule("true", "1", "zz", "1.7.2008"), "ScheduleTime", nullptr},
  };
  for (const Case& c : cases) {
    std::map<std::string, std::string> p = params(c.body);
    if (c.value)
      EXPECT_EQ(p[c.key], c.value) << c.body;
    else
      EXPECT_EQ(p.count(c.key), 0u) << c.body;
  }
}

TEST_F(AuctionListing, GalleryAndPictureAddresses) {
  std::string on = field("Gallery", "selected=\"true\"") +
                   field("GalleryFeatured", "selected=\"false\"") +
                   field("GalleryURL", "id=\"17\" rotate=\"90\"");
  std::map<std::string, std::string> p = params(on, "auction_de", 1, false);
  EXPECT_EQ(p["Gallery"], "1");
  EXPECT_EQ(p["GalleryFeatured"], "0");
  EXPECT_EQ(p["GalleryPlus"], "0");
  EXPECT_EQ(p["GalleryURL"], address(1, 17));
  EXPECT_EQ(p["PictureURL"], address(1, 17));

  // Gallery on without a picture: the gallery keys go again.
  std::string noPicture = field("Gallery", "selected=\"false\"") +
                          field("GalleryFeatured", "selected=\"false\"") +
                          field("GalleryPlus", "selected=\"true\"") + field("GalleryURL", "id=\"x\"");
  p = params(noPicture, "auction_de", 1, false);
  EXPECT_EQ(p.count("Gallery") + p.count("GalleryPlus") + p.count("GalleryURL"), 0u);

  // Gallery off: the first picture gives the address, but only when its order is "1".
  p = params("<faPictures><picture order=\"1\" id=\"5\"/><picture order=\"2\" id=\"6\"/></faPictures>");
  EXPECT_EQ(p.count("Gallery"), 0u);
  EXPECT_EQ(p["PictureURL"], address(1, 5));
  p = params("<faPictures><picture order=\"2\" id=\"6\"/><picture order=\"1\" id=\"5\"/></faPictures>");
  EXPECT_EQ(p.count("PictureURL"), 0u);

  // Without an image address setting no address is made.
  p = params(on, "bare", 1, false);
  EXPECT_EQ(p["Gallery"], "1");
  EXPECT_EQ(p.count("GalleryURL") + p.count("PictureURL"), 0u);
}

TEST_F(AuctionListing, SecondTierAuctionAddressCarriesItsSuffix) {
  int32_t id = 100;
  while (quorvelauction::common::GlobalConfig::cryptId(id) < 10000000) ++id;
  std::map<std::string, std::string> p =
      params("<faPictures><picture order=\"1\" id=\"5\"/></faPictures>", "auction_de", id);
  EXPECT_EQ(p["PictureURL"], "http://img.example/auctions2/" + Auction::splitId(id) + "/" +
                                 std::to_string(id) + "/5e.jpg");
}

TEST_F(AuctionListing, GalleryReaders) {
  struct Case {
    std::string body;
    int32_t galleryId, firstId, firstRotate;
  } cases[] = {
      {"", -1, -1, -1},
      {"<faPictures/>", -1, -1, -1},
      {"<faPictures><picture order=\"1\" id=\"5\" rotate=\"-90\"/></faPictures>", 5, 5, 270},
      {"<faPictures><picture order=\"1\" id=\"5\" rotate=\"-45\"/></faPictures>", 5, 5, 0},
      {"<faPictures><picture order=\"1\" id=\"x\" rotate=\"y\"/></faPictures>", -1, -1, -1},
      {"<faPictures><picture order=\"1\"/></faPictures>", -1, -1, -1},
      {"<faPictures><picture order=\"3\" id=\"5\" rotate=\"90\"/></faPictures>", -1, -1, -1},
      {"<faPictures><picture order=\"1\" id=\"5\" rotate=\"180\"/></faPictures>" +
           field("GalleryPlus", "selected=\"true\"") + field("GalleryURL", "id=\"40\""),
       40, 5, 180},
      {"<faPictures><picture order=\"1\" id=\"5\"/></faPictures>" +
           field("GalleryPlus", "selected=\"true\"") + field("GalleryURL", "id=\"bad\""),
       5, 5, -1},
  };
  for (const Case& c : cases) {
    xml::Element item = auction(c.body).getRootElement().element("auction").element("item");
    EXPECT_EQ(Auction::getGalleryId(item), c.galleryId) << c.body;
    EXPECT_EQ(Auction::getFirstPicIdImpl(item), c.firstId) << c.body;
    EXPECT_EQ(Auction::getFirstRotateImpl(item), c.firstRotate) << c.body;
  }
}

TEST_F(AuctionListing, BrokenDocumentsFailWithTheirMessage) {
  const std::pair<const char*, const char*> missing[] = {
      {"<collector/>", "no auction element found"},
      {"<collector><auction/></collector>", "no item element found"},
  };
  for (auto [text, message] : missing) {
    try {
      Auction::parseFlashParams("auction_de", 1, parse(text));
      ADD_FAILURE() << text;
    } catch (const platform::Exception& e) {
      EXPECT_EQ(e.message(), message);
    }
  }
  try {
    Auction::parseFlashParams("auction_de", 1, xml::Document());
    ADD_FAILURE();
  } catch (const platform::Exception& e) {
    EXPECT_EQ(e.message(), "no root element found");
  }
  // Incomplete fields are a null reference, not a crash.
  const std::string incomplete[] = {
      "<Title/>",
      field("Title", "value=\"wrong attribute\""),
      "",  // no gallery elements at all
      "<ScheduleTime><data selected=\"true\"/><minute><data value=\"1\"/></minute>"
      "<date><data value=\"1.1.2008\"/></date></ScheduleTime>",
      field("StoreCategory", "selected=\"true\""),
      field("GalleryPlus", ""),
  };
  for (size_t i = 0; i < std::size(incomplete); ++i) {
    bool gallery = i != 2;
    EXPECT_THROW(Auction::parseFlashParams("auction_de", 1, auction(incomplete[i], gallery)),
                 platform::NullPointerException)
        << incomplete[i];
  }
}

TEST(AuctionScheduleTime, ZonesAndCarries) {
  struct Case {
    const char* zone;
    int32_t y, mo, d, h, mi, s;
    const char* gmt;
  } cases[] = {
      {"Europe/Berlin", 2008, 12, 24, 20, 15, 0, "2008-12-24 19:15:00"},
      {"Europe/Berlin", 2008, 7, 1, 12, 0, 0, "2008-07-01 10:00:00"},
      {"Europe/Berlin", 2008, 13, 1, 0, 0, 0, "2008-12-31 23:00:00"},
      {"Europe/Berlin", 2008, 2, 30, 25, 61, 0, "2008-03-02 01:01:00"},
      {"Europe/Berlin", 2008, 3, 30, 2, 30, 0, "2008-03-30 01:30:00"},   // skipped hour
      {"Europe/Berlin", 2008, 10, 26, 2, 30, 0, "2008-10-26 01:30:00"},  // repeated hour
      {"Europe/Berlin", 2008, -5, 1, 0, 0, 0, "2007-06-30 22:00:00"},
      {"GMT+01:30", 2008, 12, 24, 20, 15, 0, "2008-12-24 18:45:00"},
      {"GMT+5", 2008, 7, 1, 12, 0, 0, "2008-07-01 07:00:00"},
      {"Nowhere/X", 1582, 10, 10, 0, 0, 0, "1582-10-20 00:00:00"},
      {"America/New_York", 2008, 7, 1, 12, 0, 0, "2008-07-01 16:00:00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Auction::localToGmt(c.zone, c.y, c.mo, c.d, c.h, c.mi, c.s), c.gmt) << c.zone;
  // A negative year does not read back from its text.
  EXPECT_THROW(Auction::localToGmt("GMT", -1, 1, 1, 0, 0, 0), platform::ParseException);
  // Extreme fields give some time or a clear error, never a crash.
  const int32_t kMax = 2147483647, kMin = -kMax - 1;
  for (int32_t v : {kMax, kMin}) {
    try {
      Auction::localToGmt("Europe/Berlin", 2008, v, v, v, v, v);
    } catch (const platform::Exception&) {
    }
    try {
      Auction::localToGmt("Europe/Berlin", v, 1, 1, 0, 0, 0);
    } catch (const platform::Exception&) {
    }
  }
}

TEST_F(AuctionListing, ScheduleZoneComesFromTheDomain) {
  const std::pair<const char*, const char*> cases[] = {
      {"auction_de", "2008-07-01 10:00:00"},
      {"tz_newyork", "2008-07-01 16:00:00"},
      {"tz_custom", "2008-07-01 10:30:00"},
      {"tz_unknown", "2008-07-01 12:00:00"},
  };
  for (auto [domain, gmt] : cases)
    EXPECT_EQ(Auction::localToEbayGmt(domain, 2008, 7, 1, 12, 0, 0), gmt) << domain;
}

TEST(AuctionIsNumber, PositiveDecimalsOnly) {
  const std::pair<std::optional<std::string>, bool> cases[] = {
      {"1", true}, {"42", true}, {"0", false}, {"-3", false}, {"+3", false},
      {" 3", false}, {"3x", false}, {"", false}, {std::nullopt, false},
  };
  for (const auto& [text, number] : cases) EXPECT_EQ(Auction::isNumber(text), number) << text.value_or("(absent)");
}
