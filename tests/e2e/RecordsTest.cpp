// Auction records through the running server: save, load, list and remove
// as the front end sends them, form-encoded to "/app/call".

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/File.h"
#include "platform/Properties.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/Server.h"

namespace e2e {
namespace {

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { server = std::make_unique<ServerProcess>(inst.folder()); }

  // One command as a form POST; the decoded result text.
  std::string call(const std::string& function, const std::vector<std::string>& args) {
    std::string body = "func=" + function + "&a0=session";
    for (size_t i = 0; i < args.size(); ++i)
      body += "&a" + std::to_string(i + 1) + "=" + formEncode(args[i]);
    Connection c(server->port());
    c.send("POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    Reply reply = c.readReply();
    EXPECT_EQ(reply.status, "200 Ok") << function;
    EXPECT_EQ(reply.body.rfind("result=", 0), 0u) << reply.body;
    return formDecode(reply.body.substr(std::min<size_t>(7, reply.body.size())));
  }
  std::string recordPath(int id) const { return inst.app() + "WEB-INF/user/auction/" + std::to_string(id); }

  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

// A record whose list title is the given text.
std::string titled(const std::string& title) {
  return "<collector><auction><item><Title><data text=\"" + title +
         "\"/></Title></item></auction></collector>";
}

std::string storedXml(const std::string& path) {
  quorvelauction::offline::CryptedFileInputStream in(path);
  platform::Properties stored;
  stored.load(in);
  return stored.getProperty("xmlContent").value_or("(none)");
}

const std::string kXml =
    "<collector><auction><item><Title><data text=\"Lamp = 5:1 #2 &amp; \xC3\xA4\"/></Title>"
    "<Category><data value=\"1234\"/></Category><MinimumBid><data value=\"12,50\"/></MinimumBid>"
    "<Type><data value=\"1\"/></Type></item></auction>\n<note>line two</note></collector>";

}  // namespace

TEST_F(RecordsTest, SaveLoadListRemove) {
  EXPECT_EQ(call("auctionCreateWithPictures", {""}), "1");
  EXPECT_EQ(call("auctionSave", {"5", kXml}), "ok");
  EXPECT_EQ(call("auctionCreateFromOld", {"5"}), "6");
  EXPECT_EQ(call("auctionLoad", {"5"}), kXml);

  // The record lies in the user folder, here the application folder, where
  // the storage rule scrambles it.
  ASSERT_TRUE(platform::File(recordPath(5)).exists());
  EXPECT_EQ(inst.read("htdocs/app/WEB-INF/user/auction/5").find("xmlContent"), std::string::npos);
  quorvelauction::offline::Server::programPath = inst.folder();
  quorvelauction::offline::CryptedFileInputStream in(recordPath(5));
  platform::Properties stored;
  stored.load(in);
  EXPECT_EQ(stored.getProperty("id"), "5");
  EXPECT_EQ(stored.getProperty("state"), "0");
  EXPECT_EQ(stored.getProperty("xmlContent"), kXml);

  std::string list = call("auctionNewList", {"-1", "title", "ascending"});
  EXPECT_EQ(list.rfind("<auctions><auction><id>5</id><title>Lamp = 5:1 #2 &amp; \xC3\xA4</title>"
                       "<category>1234</category>",
                       0),
            0u)
      << list;
  EXPECT_NE(list.find("<minimumBid>12.50</minimumBid><type>1</type><date>"), std::string::npos);
  EXPECT_EQ(call("auctionSubmittedList", {"-1", "", ""}), "<auctions/>");
  EXPECT_EQ(call("auctionVerifiedList", {"0", "", ""}), "<auctions/>");

  EXPECT_EQ(call("auctionRemove", {"5 x 6"}), "ok");
  EXPECT_FALSE(platform::File(recordPath(5)).exists());
  EXPECT_EQ(call("auctionLoad", {"5"}), "");
  EXPECT_EQ(call("auctionNewList", {"-1", "", ""}), "<auctions/>");
  EXPECT_EQ(call("auctionCreateWithPictures", {""}), "1");
}

TEST_F(RecordsTest, ARemovedNumberStartsAfresh) {
  EXPECT_EQ(call("auctionSave", {"1", kXml}), "ok");
  EXPECT_EQ(call("auctionRemove", {"1"}), "ok");
  // Saved again under the same number: a new record, not the removed one.
  EXPECT_EQ(call("auctionSave", {"1", "<collector/>"}), "ok");
  EXPECT_EQ(call("auctionLoad", {"1"}), "<collector/>");
  EXPECT_NE(call("auctionNewList", {"-1", "", ""}).find("<id>1</id><title/>"), std::string::npos);
}

TEST_F(RecordsTest, ConcurrentSavesOfOneRecordLeaveFileAndListAlike) {
  quorvelauction::offline::Server::programPath = inst.folder();
  for (int round = 0; round < 5; ++round) {
    std::vector<std::thread> clients;
    for (int c = 0; c < 16; ++c) {
      clients.emplace_back([&, c] {
        for (int k = 0; k < 4; ++k)
          call("auctionSave", {"9", titled("r" + std::to_string(round) + "c" + std::to_string(c) + "k" +
                                           std::to_string(k))});
      });
    }
    for (std::thread& t : clients) t.join();
    const std::string list = call("auctionNewList", {"-1", "", ""});
    const std::string stored = storedXml(recordPath(9));
    const size_t at = stored.find("text=\"") + 6;
    const std::string title = stored.substr(at, stored.find('"', at) - at);
    EXPECT_NE(list.find("<title>" + title + "</title>"), std::string::npos)
        << "round " << round << ": file holds " << title << ", list " << list;
  }
}

TEST_F(RecordsTest, StartUpRemovesOnlyTheWorkFilesOfInterruptedSaves) {
  const std::string folder = "htdocs/app/WEB-INF/user/auction/";
  const char* stale[] = {"5.123-7.new", "-3.1-0.new", "12.99999-123456.new"};
  const char* kept[] = {"5", "5.new", "5.123.new", "x.123-7.new", "5.123-7.new.bak", "5.12a-7.new", "5.-7.new"};
  for (const char* name : stale) inst.plain(folder + name, "half");
  for (const char* name : kept) inst.plain(folder + name, "id=5\nstate=0\nxmlContent=\n");
  server = std::make_unique<ServerProcess>(inst.folder());
  for (const char* name : stale) EXPECT_FALSE(platform::File(inst.folder() + folder + name).exists()) << name;
  for (const char* name : kept) EXPECT_TRUE(platform::File(inst.folder() + folder + name).exists()) << name;
}

TEST_F(RecordsTest, EachRecordNumberIsListedOnce) {
  EXPECT_EQ(call("auctionSave", {"5", titled("five")}), "ok");
  std::filesystem::copy_file(recordPath(5), inst.app() + "WEB-INF/user/auction/05");
  std::filesystem::copy_file(recordPath(5), inst.app() + "WEB-INF/user/auction/+5");
  const std::string list = call("auctionNewList", {"-1", "", ""});
  EXPECT_EQ(list.find("<id>5</id>"), list.rfind("<id>5</id>")) << list;
  EXPECT_NE(list.find("<id>5</id>"), std::string::npos) << list;
}

}  // namespace e2e
