#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "xml/DocumentHelper.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

using quorvelauction::offline::OfflineAuction;

namespace {

class OfflineAuctionTest : public ::testing::Test {
 protected:
  std::string record(const std::string& name) const { return "WEB-INF/user/auction/" + name; }
  std::string write(const std::string& name, const std::string& bytes) const {
    return installation.write(record(name), bytes);
  }
  std::vector<std::string> folderNames() const {
    return *platform::File(installation.userPath() + "WEB-INF/user/auction").list();
  }

  auctiontest::Installation installation;
};

std::string auctionXml(const std::string& title, const std::string& category,
                       const std::string& bid, const std::string& type) {
  return "<collector><auction><item><Title><data text=\"" + title +
         "\"/></Title><Category><data value=\"" + category +
         "\"/></Category><MinimumBid><data value=\"" + bid +
         "\"/></MinimumBid><Type><data value=\"" + type + "\"/></Type></item></auction></collector>";
}

// The list entry fillInto writes, as compact XML.
std::string listEntry(const OfflineAuction& auction) {
  xml::Document document = xml::DocumentHelper::createDocument();
  xml::Element entry = document.addElement("auction");
  auction.fillInto(entry);
  return xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(entry);
}

int64_t utc(int y, unsigned mo, unsigned d, int h, int mi, int s) {
  using namespace std::chrono;
  sys_days date = sys_days(std::chrono::year(y) / std::chrono::month(mo) / std::chrono::day(d));
  return duration_cast<milliseconds>((date + hours(h) + minutes(mi) + seconds(s)).time_since_epoch())
      .count();
}

}  // namespace

TEST_F(OfflineAuctionTest, CreateIdAndListing) {
  EXPECT_EQ(OfflineAuction::createId(), 1);
  EXPECT_TRUE(OfflineAuction::getAuctionIds().empty());
  write("3", "");
  write("10", "");
  write("notes", "");
  write("-4", "");
  write("12.new", "");
  platform::File(installation.userPath() + record("20")).mkdirs();
  EXPECT_EQ(OfflineAuction::createId(), 11);
  EXPECT_EQ(OfflineAuction::createId(), 11) << "nothing is reserved";

  std::vector<int32_t> expected;
  for (const std::string& name : folderNames())
    if (name == "3" || name == "10" || name == "-4") expected.push_back(std::stoi(name));
  EXPECT_EQ(OfflineAuction::getAuctionIds(), expected) << "folder-listing order";
}

TEST_F(OfflineAuctionTest, OnlyNegativeNumbersGiveOne) {
  write("-7", "");
  EXPECT_EQ(OfflineAuction::createId(), 1);
}

TEST_F(OfflineAuctionTest, SaveAndLoadKeepTheXmlExactly) {
  const std::string xml =
      "<?xml version=\"1.0\"?>\r\n<collector a=\"x=y:z#!\">\n\t<auction>"
      "<item><Title><data text=\"Caf\xC3\xA9 \xE2\x82\xAC \\ \xF0\x9F\x98\x80\"/></Title></item>"
      "</auction></collector>\n ";
  OfflineAuction auction(7, xml);
  auction.setState(2);
  auction.save();

  std::string stored = testsupport::TempDir::read(installation.userPath() + record("7"));
  EXPECT_EQ(stored.substr(0, 3), "#\n#") << "empty comment, then the date line";
  EXPECT_NE(stored.find("\nid=7\n"), std::string::npos);
  EXPECT_NE(stored.find("\nstate=2\n"), std::string::npos);
  EXPECT_NE(stored.find("\\u20AC"), std::string::npos);
  EXPECT_TRUE(std::all_of(stored.begin(), stored.end(),
                          [](char c) { return (c >= 0x20 && c < 0x7F) || c == '\n'; }));
  EXPECT_EQ(folderNames(), std::vector<std::string>{"7"}) << "no work file left behind";

  std::unique_ptr<OfflineAuction> loaded = OfflineAuction::load(7);
  EXPECT_EQ(loaded->getId(), 7);
  EXPECT_EQ(loaded->getXmlContent(), xml);
  EXPECT_EQ(loaded->getState(), 2);
  EXPECT_EQ(loaded->date, 0);

  // Saving again replaces the record.
  auction.setXmlContent("<b/>");
  auction.save();
  EXPECT_EQ(OfflineAuction::load(7)->getXmlContent(), "<b/>");
  EXPECT_EQ(folderNames(), std::vector<std::string>{"7"});
}

TEST_F(OfflineAuctionTest, LoadsWhatTheStandardWriterWrote) {
  // Key order, escapes and line ends as the standard properties writer
  // leaves them (here with CR LF line ends).
  write("5",
        "#\r\n#Sat Mar 14 23:00:00 CET 2009\r\n"
        "xmlContent=<a t\\=\"1\\:2 \\#3 \\!4\">\\u00E4\\u20AC</a>\\n\\ x\r\n"
        "state=1\r\nid=9\r\n");
  std::unique_ptr<OfflineAuction> loaded = OfflineAuction::load(5);
  EXPECT_EQ(loaded->getId(), 9) << "the id entry wins over the file name";
  EXPECT_EQ(loaded->getState(), 1);
  EXPECT_EQ(loaded->getXmlContent(), "<a t=\"1:2 #3 !4\">\xC3\xA4\xE2\x82\xAC</a>\n x");
}

TEST_F(OfflineAuctionTest, BadRecordsFailToLoad) {
  EXPECT_THROW(OfflineAuction::load(1), platform::FileNotFoundException);
  const char* bad[] = {"xmlContent=x\nstate=0\n", "id=1\nxmlContent=x\n", "id=one\nstate=0\n",
                       "id=1\nstate=0 \n", "id=1\nstate=0\nbroken=\\u12\n"};
  for (const char* content : bad) {
    write("2", content);
    EXPECT_ANY_THROW(OfflineAuction::load(2)) << content;
  }
}

namespace {

// Plain files whose output streams fail after a few bytes, as on a full disk.
class FullDisk : public auctiontest::PlainFiles {
 public:
  class Failing : public platform::OutputStream {
   public:
    explicit Failing(platform::OutputStreamPtr out) : out_(std::move(out)) {}
    using platform::OutputStream::write;
    void write(const char* buffer, int offset, int count) override {
      if (written_ + count > 10) throw platform::IOException("No space left on device");
      written_ += count;
      out_->write(buffer, offset, count);
    }
    void close() override { out_->close(); }

   private:
    platform::OutputStreamPtr out_;
    int written_ = 0;
  };
  platform::OutputStreamPtr createFileOutputStream(const std::string& path) override {
    return std::make_unique<Failing>(PlainFiles::createFileOutputStream(path));
  }
};

}  // namespace

TEST_F(OfflineAuctionTest, FailedSaveKeepsThePreviousRecord) {
  OfflineAuction auction(4, "<old/>");
  auction.save();
  FullDisk full;
  quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&full);
  auction.setXmlContent("<new>" + std::string(10000, 'x') + "</new>");
  EXPECT_THROW(auction.save(), platform::IOException);
  auctiontest::Installation restore;  // plain files again
  quorvelauction::common::GlobalConfig::load(auctiontest::applicationFolder(), installation.userPath());
  EXPECT_EQ(OfflineAuction::load(4)->getXmlContent(), "<old/>");
  EXPECT_EQ(folderNames(), std::vector<std::string>{"4"});
}

TEST_F(OfflineAuctionTest, RemoveAndDate) {
  OfflineAuction(3, "<a/>").save();
  platform::File file(installation.userPath() + record("3"));
  ASSERT_TRUE(file.setLastModified(utc(2009, 3, 14, 12, 0, 0)));
  EXPECT_EQ(OfflineAuction::getDate(3).getTime(), utc(2009, 3, 14, 12, 0, 0));
  OfflineAuction::remove(3);
  EXPECT_FALSE(file.exists());
  OfflineAuction::remove(3);  // a missing record is no failure
  EXPECT_EQ(OfflineAuction::getDate(3).getTime(), 0);
}

TEST_F(OfflineAuctionTest, ColumnsFromTheXml) {
  struct Case {
    std::string xml;
    const char* title;
    int32_t category, cents;
    const char* type;
  } cases[] = {
      {auctionXml("Lamp \xE2\x82\xAC", "12", "12,50", "1"), "Lamp EUR", 12, 1250, "1"},
      {auctionXml("a", "x", "12.5", "9"), "a", 0, 1250, "9"},
      {auctionXml("a", "3", "0,29", "1"), "a", 3, 29, "1"},
      {auctionXml("a", "3", "19,99", "1"), "a", 3, 1999, "1"},
      {auctionXml("a", "3", " 1.005e2 ", "1"), "a", 3, 10050, "1"},
      {auctionXml("kept", "44", "lots", "1"), "kept", 44, 0, ""},
      {auctionXml("kept", "44", "", "1"), "kept", 44, 0, ""},
      {"<collector><auction><item><Title><data text=\"t\"/></Title></item></auction></collector>",
       "t", 0, 0, ""},
      {"not xml", "", 0, 0, ""},
      {"<collector/>", "", 0, 0, ""},
      {"", "", 0, 0, ""},
  };
  OfflineAuction(6, "").save();
  for (const Case& c : cases) {
    OfflineAuction auction(6, c.xml);
    auction.title = "stale";
    auction.setFromCollector(c.xml);
    EXPECT_EQ(auction.title, c.title) << c.xml;
    EXPECT_EQ(auction.category, c.category) << c.xml;
    EXPECT_EQ(auction.minimumBidCent, c.cents) << c.xml;
    EXPECT_EQ(auction.type, c.type) << c.xml;
  }
  OfflineAuction auction(6, "");
  auction.setFromCollector(std::nullopt);
  EXPECT_EQ(auction.date, 0);
}

TEST_F(OfflineAuctionTest, ListEntryDateAndAmount) {
  struct Case {
    int64_t changed;
    const char* bid;
    const char* entry;
  } cases[] = {
      {utc(2009, 3, 14, 21, 59, 59), "19,99",
       "<title>t</title><category>5</category><minimumBid>19.99</minimumBid><type>1</type>"
       "<date>14.03.2009</date>"},
      {utc(2009, 3, 14, 22, 0, 0), "1.5",
       "<title>t</title><category>5</category><minimumBid>1.50</minimumBid><type>1</type>"
       "<date>15.03.2009</date>"},
      {utc(2009, 3, 14, 22, 0, 0), "0,05",
       "<title>t</title><category>5</category><minimumBid>0.05</minimumBid><type>1</type>"
       "<date>15.03.2009</date>"},
      {utc(2009, 3, 14, 22, 0, 0), "167772,17",
       "<title>t</title><category>5</category><minimumBid>167772.16</minimumBid><type>1</type>"
       "<date>15.03.2009</date>"},
  };
  for (const Case& c : cases) {
    OfflineAuction auction(8, auctionXml("t", "5", c.bid, "1"));
    auction.save();
    ASSERT_TRUE(platform::File(installation.userPath() + record("8")).setLastModified(c.changed));
    auction.setFromCollector(auction.getXmlContent());
    EXPECT_EQ(listEntry(auction), "<auction>" + std::string(c.entry) + "</auction>") << c.bid;
  }
  OfflineAuction never(99, "");
  EXPECT_EQ(listEntry(never),
            "<auction><title/><category>0</category><minimumBid>0.00</minimumBid><type/>"
            "<date>01.01.1970</date></auction>");
  // The amount goes through single precision on its way to the list.
  OfflineAuction big(99, "");
  const std::pair<int32_t, const char*> amounts[] = {
      {1677721701, "16777218.00"}, {16777219, "167772.20"}, {-150, "-1.50"}, {2147483647, "21474836.00"}};
  for (auto [cents, text] : amounts) {
    big.minimumBidCent = cents;
    EXPECT_NE(listEntry(big).find("<minimumBid>" + std::string(text) + "</minimumBid>"), std::string::npos)
        << cents;
  }
}

TEST(OfflineAuctionPresets, PresetAddressesPointAtTheLocalServer) {
  xml::Document document = xml::SAXReader().read(
      "<c><auction><item><faPresets><templatePath value=\"http://x/t/\"/>"
      "<componentPath value=\"c\"/><modulPath/><picturePath value=\"p\"/></faPresets>"
      "</item></auction></c>");
  OfflineAuction::convertFaPresetPaths(document);
  EXPECT_EQ(xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(document.getRootElement()),
            "<c><auction><item><faPresets>"
            "<templatePath value=\"http://localhost:17985/flash/templates/\"/>"
            "<componentPath value=\"http://localhost:17985/flash/components/\"/>"
            "<modulPath value=\"http://localhost:17985/flash/modules/\"/>"
            "<picturePath value=\"p\"/>"
            "<fontPath value=\"http://localhost:17985/flash/fonts/\"/>"
            "</faPresets></item></auction></c>");

  const std::pair<const char*, const char*> broken[] = {
      {"<c/>", "no auction element found"},
      {"<c><auction/></c>", "no item element found"},
      {"<c><auction><item/></auction></c>", "no faPresets element found"},
  };
  for (auto [text, message] : broken) {
    xml::Document doc = xml::SAXReader().read(text);
    try {
      OfflineAuction::convertFaPresetPaths(doc);
      ADD_FAILURE() << text;
    } catch (const platform::Exception& e) {
      EXPECT_EQ(e.message(), message);
    }
  }
  xml::Document empty;
  EXPECT_THROW(OfflineAuction::convertFaPresetPaths(empty), platform::Exception);
}
