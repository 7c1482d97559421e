#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"

using quorvelauction::offline::OfflineAuction;
using quorvelauction::offline::Server;

namespace {

int64_t utc(int y, unsigned mo, unsigned d, int h, int mi) {
  using namespace std::chrono;
  sys_days date = sys_days(std::chrono::year(y) / std::chrono::month(mo) / std::chrono::day(d));
  return duration_cast<milliseconds>((date + hours(h) + minutes(mi)).time_since_epoch()).count();
}

std::string auctionXml(const std::string& title, int category, const std::string& bid) {
  return "<collector><auction><item><Title><data text=\"" + title +
         "\"/></Title><Category><data value=\"" + std::to_string(category) +
         "\"/></Category><MinimumBid><data value=\"" + bid +
         "\"/></MinimumBid><Type><data value=\"1\"/></Type></item></auction></collector>";
}

std::vector<int> idsOf(const std::string& reply) {
  std::vector<int> ids;
  std::regex id("<id>(-?[0-9]+)</id>");
  for (auto it = std::sregex_iterator(reply.begin(), reply.end(), id); it != std::sregex_iterator(); ++it)
    ids.push_back(std::stoi((*it)[1]));
  return ids;
}

class AuctionListTest : public ::testing::Test {
 protected:
  // Writes a record file with a state and a change time.
  void record(int id, const std::string& xml, int state, int64_t changed) {
    OfflineAuction auction(id, xml);
    auction.setState(state);
    auction.save();
    ASSERT_TRUE(platform::File(path(id)).setLastModified(changed));
  }
  std::string path(int id) const {
    return installation.userPath() + "WEB-INF/user/auction/" + std::to_string(id);
  }
  std::string list(int state, const std::string& limit, const char* sortBy = nullptr,
                   const char* direction = nullptr) {
    platform::Properties props;
    props.setProperty("limit", limit);
    if (sortBy) props.setProperty("sortBy", sortBy);
    if (direction) props.setProperty("sortDirection", direction);
    return handler.auctionList(props, state);
  }
  // The new records' numbers in folder-listing order.
  std::vector<int> listingOrder(const std::vector<int>& wanted) const {
    std::vector<int> order;
    std::vector<std::string> names = *platform::File(installation.userPath() + "WEB-INF/user/auction").list();
    for (const std::string& name : names)
      for (int id : wanted)
        if (name == std::to_string(id)) order.push_back(id);
    return order;
  }
  std::string call(const std::string& function, std::initializer_list<std::pair<const char*, const char*>> params) {
    platform::Properties props;
    for (auto [k, v] : params) props.setProperty(k, v);
    return handler.evaluateFunction(function, props);
  }

  auctiontest::Installation installation;
  Server server;
  Server::Handler handler{server, nullptr};
};

}  // namespace

TEST_F(AuctionListTest, SortsByEveryColumnInBothDirections) {
  record(1, auctionXml("pear", 30, "2,00"), 0, utc(2009, 3, 3, 12, 0));
  record(2, auctionXml("Zebra", 10, "1,00"), 0, utc(2009, 3, 1, 12, 0));
  record(3, auctionXml("apple", 20, "3,00"), 0, utc(2009, 3, 2, 12, 0));
  struct Case {
    const char* sortBy;
    const char* direction;
    std::vector<int> ids;
  } cases[] = {
      {"title", "ascending", {2, 3, 1}},  // code-unit order: capitals first
      {"title", "descending", {1, 3, 2}},
      {"category", "ascending", {2, 3, 1}},
      {"category", nullptr, {1, 3, 2}},
      {"minimumBid", "ascending", {2, 1, 3}},
      {"minimumBid", "Ascending", {3, 1, 2}},
      {nullptr, "ascending", {2, 3, 1}},
      {"price", "ascending", {2, 3, 1}},
      {nullptr, nullptr, {1, 3, 2}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(idsOf(list(0, "-1", c.sortBy, c.direction)), c.ids)
        << (c.sortBy ? c.sortBy : "(none)") << " " << (c.direction ? c.direction : "(none)");
}

TEST_F(AuctionListTest, ReplyShape) {
  record(4, auctionXml("Lamp \xE2\x82\xAC &amp; &lt;b>", 77, "19,99"), 0, utc(2009, 3, 14, 22, 0));
  EXPECT_EQ(list(0, "5"),
            "<auctions><auction><id>4</id><title>Lamp EUR &amp; &lt;b&gt;</title>"
            "<category>77</category><minimumBid>19.99</minimumBid><type>1</type>"
            "<date>15.03.2009</date></auction></auctions>");
  EXPECT_EQ(list(0, "0"), "<auctions/>");
  EXPECT_THROW(list(0, "two"), platform::NumberFormatException);
  platform::Properties noLimit;
  EXPECT_THROW(handler.auctionList(noLimit, 0), platform::NumberFormatException);
}

TEST_F(AuctionListTest, LimitAppliesInListingOrderBeforeSorting) {
  for (int id = 1; id <= 5; ++id)
    record(id, auctionXml("t" + std::to_string(id), id, "1"), 0, utc(2009, 1, 10 - id, 0, 0));
  std::vector<int> order = listingOrder({1, 2, 3, 4, 5});
  std::vector<int> firstTwo(order.begin(), order.begin() + 2);
  std::sort(firstTwo.begin(), firstTwo.end());
  EXPECT_EQ(idsOf(list(0, "2", "category", "ascending")), firstTwo);
  EXPECT_EQ(server.auctions.get().size(), 3u) << "reading stops at the first record past the limit";
  EXPECT_EQ(idsOf(list(0, "-3")).size(), 5u);
}

TEST_F(AuctionListTest, EqualKeysKeepListingOrder) {
  for (int id : {1, 2, 3}) record(id, auctionXml("same", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  std::vector<int> order = listingOrder({1, 2, 3});
  EXPECT_EQ(idsOf(list(0, "-1", "title", "ascending")), order);
  EXPECT_EQ(idsOf(list(0, "-1", "title", "descending")), order);
}

TEST_F(AuctionListTest, StatesAndOddFolderEntries) {
  record(1, auctionXml("new", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  record(2, auctionXml("submitted", 1, "1"), 2, utc(2009, 1, 1, 0, 0));
  record(3, auctionXml("verified", 1, "1"), 1, utc(2009, 1, 1, 0, 0));
  installation.write("WEB-INF/user/auction/notes", "id=8\nstate=0\nxmlContent=\n");
  platform::File(path(20)).mkdirs();
  installation.write("WEB-INF/user/auction/21", "id=21\nstate=zero\n");
  installation.write("WEB-INF/user/auction/30", "id=31\nstate=0\nxmlContent=not xml\n");

  EXPECT_EQ(call("auctionSubmittedList", {{"limit", "-1"}}).find("<id>2</id>") != std::string::npos, true);
  EXPECT_EQ(idsOf(call("auctionSubmittedList", {{"limit", "-1"}})), std::vector<int>{2});
  EXPECT_EQ(idsOf(call("auctionVerifiedList", {{"limit", "-1"}})), std::vector<int>{3});
  std::vector<int> expectedNew = listingOrder({1, 30});
  for (int& id : expectedNew)
    if (id == 30) id = 31;  // listed under the number of its id entry
  std::string reply = call("auctionNewList", {{"limit", "-1"}, {"sortBy", "title"}});
  std::sort(expectedNew.begin(), expectedNew.end(), [](int a, int b) { return a == 1 && b != 1; });
  EXPECT_EQ(idsOf(reply), expectedNew);
  // A record whose XML does not read is listed with the reset columns.
  EXPECT_NE(reply.find("<id>31</id><title/><category>0</category><minimumBid>0.00</minimumBid><type/>"
                       "<date>01.01.1970</date>"),
            std::string::npos)
      << reply;
}

TEST_F(AuctionListTest, RecordsAreReadOnceAndKeptInTheTable) {
  record(1, auctionXml("first", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  list(0, "-1");
  EXPECT_EQ(server.auctions.get().count(1), 1u);
  // Another program changes the file: the list keeps what it read.
  installation.write("WEB-INF/user/auction/1", "id=1\nstate=2\nxmlContent=x\n");
  EXPECT_EQ(idsOf(list(0, "-1")), std::vector<int>{1});
  EXPECT_NE(list(0, "-1").find("<title>first</title>"), std::string::npos);
}

TEST_F(AuctionListTest, ASavedChangeShowsInTheNextList) {
  record(1, auctionXml("before", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  EXPECT_NE(list(0, "-1").find("<title>before</title>"), std::string::npos);
  call("auctionSave", {{"auctionIdString", "1"}, {"xmlContent", auctionXml("after", 2, "3").c_str()}});
  std::string reply = list(0, "-1");
  EXPECT_NE(reply.find("<title>after</title><category>2</category><minimumBid>3.00</minimumBid>"),
            std::string::npos)
      << reply;
  // The date follows the record file, also when the XML is the same.
  ASSERT_TRUE(platform::File(path(1)).setLastModified(utc(2010, 5, 6, 12, 0)));
  EXPECT_NE(list(0, "-1").find("<date>06.05.2010</date>"), std::string::npos);
}

TEST_F(AuctionListTest, ManyRecordsWithAndWithoutLimit) {
  // Enough records that the list reads and works them out side by side.
  for (int id = 1; id <= 130; ++id) {
    std::string xml = id % 50 == 0 ? std::string("broken") : auctionXml("t" + std::to_string(1000 + id), id, "1");
    record(id, xml, id % 3 == 0 ? 2 : 0, utc(2009, 1, 1, 0, 0));
  }
  installation.write("WEB-INF/user/auction/131", "state=0\n");
  std::vector<int> all = idsOf(list(0, "-1", "category", "ascending"));
  std::vector<int> wanted;
  for (int id = 1; id <= 130; ++id)
    if (id % 3 != 0) wanted.push_back(id);
  std::vector<int> expected = listingOrder(wanted);
  std::stable_sort(expected.begin(), expected.end(), [](int a, int b) {
    return (a % 50 == 0 ? 0 : a) < (b % 50 == 0 ? 0 : b);
  });
  EXPECT_EQ(all, expected);
  EXPECT_EQ(server.auctions.get().size(), 130u);
  EXPECT_EQ(idsOf(list(2, "-1")).size(), 43u);
  EXPECT_EQ(idsOf(list(0, "50")).size(), 50u);
}

TEST_F(AuctionListTest, SaveLoadRemoveCommands) {
  EXPECT_EQ(call("auctionCreateWithPictures", {{"pictures", "x"}}), "1");
  EXPECT_EQ(call("auctionSave", {{"auctionIdString", "5"}, {"xmlContent", "<a>=:#\n\xC3\xA4</a>"}}), "ok");
  EXPECT_EQ(server.auctions.get().at(5)->getState(), 0);
  server.auctions.get().at(5)->setState(2);
  EXPECT_EQ(call("auctionSave", {{"auctionIdString", "5"}, {"xmlContent", "<b/>"}}), "ok");
  EXPECT_EQ(OfflineAuction::load(5)->getState(), 2) << "saving again keeps the state";
  EXPECT_EQ(call("auctionCreateFromOld", {{"auctionIdString", "5"}}), "6");

  EXPECT_EQ(call("auctionLoad", {{"auctionIdString", "9"}}), "");
  EXPECT_EQ(server.auctions.get().count(9), 0u);
  std::shared_ptr<OfflineAuction> before = server.auctions.get().at(5);
  EXPECT_EQ(call("auctionLoad", {{"auctionIdString", "5"}}), "<b/>");
  EXPECT_NE(server.auctions.get().at(5), before) << "a fresh record replaces the entry";

  EXPECT_THROW(call("auctionSave", {{"auctionIdString", "x"}, {"xmlContent", "<a/>"}}),
               platform::NumberFormatException);
  EXPECT_THROW(call("auctionSave", {{"auctionIdString", "7"}}), platform::NullPointerException);
  EXPECT_EQ(server.auctions.get().count(7), 0u);
  EXPECT_THROW(call("auctionLoad", {}), platform::NumberFormatException);
}

TEST_F(AuctionListTest, RemoveGoesOnAfterABadNumber) {
  for (int id : {3, 7, 9, 11}) record(id, auctionXml("t", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  list(0, "-1");
  server.auctionIdMapping.with([](auto& mapping) { mapping[3] = 300; mapping[11] = 1100; });
  EXPECT_EQ(call("auctionRemove", {{"auctionIdString", "3 7 x 9 12"}}), "ok");
  for (int id : {3, 7, 9}) EXPECT_FALSE(platform::File(path(id)).exists()) << id;
  EXPECT_TRUE(platform::File(path(11)).exists());
  EXPECT_EQ(server.auctions.get().count(3) + server.auctions.get().count(9), 0u);
  EXPECT_EQ(server.auctions.get().count(11), 1u);
  EXPECT_EQ(server.auctionIdMapping.get(), (std::map<int32_t, int32_t>{{11, 1100}}));
  EXPECT_EQ(call("auctionCreateWithPictures", {}), "12");
  EXPECT_THROW(call("auctionRemove", {}), platform::NullPointerException);
}

TEST_F(AuctionListTest, SavesAndListsOnSeveralConnections) {
  // Connections share the records: one saves while others list.
  record(1, auctionXml("a", 1, "1"), 0, utc(2009, 1, 1, 0, 0));
  list(0, "-1");
  std::thread saver([&] {
    Server::Handler own(server, nullptr);
    for (int i = 0; i < 40; ++i) {
      platform::Properties props;
      props.setProperty("auctionIdString", "1");
      props.setProperty("xmlContent", auctionXml(i % 2 ? "odd" : "even", i, "1"));
      own.onAuctionSave(props);
    }
  });
  std::thread lister([&] {
    Server::Handler own(server, nullptr);
    platform::Properties props;
    props.setProperty("limit", "-1");
    for (int i = 0; i < 40; ++i) EXPECT_EQ(idsOf(own.auctionList(props, 0)), std::vector<int>{1});
  });
  saver.join();
  lister.join();
  EXPECT_NE(list(0, "-1").find("<title>odd</title><category>39</category>"), std::string::npos);
}
