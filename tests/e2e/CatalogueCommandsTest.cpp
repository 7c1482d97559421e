// The user file, program file and eBay catalogue commands through the real
// server: saves and loads with their path guard, the multi-file reply, the
// category branches, characteristics sets and detail files.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/File.h"
#include "quorvelauction/common/ServiceSingeltons.h"

namespace e2e {
namespace {

using quorvelauction::common::ServiceSingeltons;

// The category fixture of the unit tests, installed as site 77 of the
// installation's domain.
std::string fixture(const std::string& relative) {
  return testsupport::TempDir::read(testsupport::sourceDir() +
                                    "/tests/quorvelauction/common/fixtures/catalogue/app/WEB-INF/" + relative);
}

class CatalogueCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"categories.txt", "getcategory2cs.xml", "attributes.txt", "GetCategoryFeatures.xml",
                             "ShippingServiceDetails.xml"}) {
      inst.store(std::string("htdocs/app/WEB-INF/77/ebay-cache/") + name, fixture(std::string("5/ebay-cache/") + name));
    }
    inst.store("htdocs/app/WEB-INF/77/config/config.properties", "rootCategory=\n");
    inst.store("htdocs/app/WEB-INF/auction_de/ebay-cache/ShippingDetails.xml",
               fixture("shop_de/ebay-cache/ShippingDetails.xml"));
    server = std::make_unique<ServerProcess>(inst.folder());
    ASSERT_TRUE(server->running()) << server->output();
  }

  // The command's result text, or nothing when the server answered the call
  // without one.
  std::optional<std::string> call(const std::string& func, const std::string& a1 = "",
                                   const std::optional<std::string>& a2 = std::nullopt) {
    std::string target = "/app/call?func=" + func + "&a0=s&a1=" + ServiceSingeltons::encodeURL(a1);
    if (a2) target += "&a2=" + ServiceSingeltons::encodeURL(*a2);
    Reply reply = get(server->port(), target);
    if (reply.status != "200 Ok") return std::nullopt;
    EXPECT_EQ(reply.body.rfind("result=", 0), 0u) << reply.body;
    return ServiceSingeltons::decodeURL(reply.body.substr(7));
  }
  std::string userFile(const std::string& name) const { return inst.app() + "WEB-INF/user/" + name; }

  Installation inst;
  std::unique_ptr<ServerProcess> server;
};

TEST_F(CatalogueCommandsTest, UserFilesAreSavedAndLoadedBack) {
  EXPECT_EQ(call("saveUserFile", "notes.xml", "<n>\r\n\tone \xC3\xA4\n</n>"), "ok");
  EXPECT_EQ(platform::File(userFile("notes.xml")).length(), 17) << "UTF-8, no byte-order mark";
  EXPECT_NE(inst.read("htdocs/app/WEB-INF/user/notes.xml"), "<n>\r\n\tone \xC3\xA4\n</n>")
      << "stored scrambled below the application folder";
  EXPECT_EQ(call("loadUserFile", "notes.xml"), "<n>one \xC3\xA4</n>");

  EXPECT_EQ(call("saveUserFile", "notes.xml", "x"), "ok");
  EXPECT_EQ(call("loadUserFile", "notes.xml"), "x");
  EXPECT_EQ(call("saveUserFile", "notes.xml", ""), "ok");
  EXPECT_EQ(platform::File(userFile("notes.xml")).length(), 0);
  EXPECT_EQ(call("loadUserFile", "notes.xml$collector.xml$missing.xml"),
            "<files><file name=\"notes.xml\"></file><file name=\"collector.xml\"><collector/></file>"
            "<file name=\"missing.xml\">error reading file missing.xml</file></files>");
  EXPECT_EQ(call("loadUserFile", "$"), "<files></files>");

  // Folders are not made: the save fails and the call has no result.
  EXPECT_EQ(call("saveUserFile", "new/notes.xml", "x"), std::nullopt);
  EXPECT_FALSE(platform::File(userFile("new")).exists());
  EXPECT_EQ(call("saveUserFile", "auction/note.xml", "y"), "ok");
  EXPECT_EQ(call("loadUserFile", "auction/note.xml"), "y");
}

TEST_F(CatalogueCommandsTest, AFailedSaveLeavesThePreviousFileWhole) {
  // A file-size limit stands in for a full disk: with its signal ignored
  // (and inherited by the server), writes beyond it fail.
  ::signal(SIGXFSZ, SIG_IGN);
  server = std::make_unique<ServerProcess>(inst.folder());
  ::signal(SIGXFSZ, SIG_DFL);
  const std::string old(3000, 'o');
  ASSERT_EQ(call("saveUserFile", "notes.txt", old), "ok");
  const rlimit small{64 << 10, 64 << 10};
  ASSERT_EQ(::prlimit(server->pid(), RLIMIT_FSIZE, &small, nullptr), 0);
  EXPECT_EQ(call("saveUserFile", "notes.txt", std::string(200 << 10, 'n')), std::nullopt);
  EXPECT_EQ(call("loadUserFile", "notes.txt"), old);
  for (const auto& entry : std::filesystem::directory_iterator(userFile("")))
    EXPECT_NE(entry.path().extension(), ".new") << entry.path();
}

TEST_F(CatalogueCommandsTest, StartUpRemovesOnlyTheWorkFilesOfInterruptedSaves) {
  std::filesystem::create_directories(userFile("sub"));
  std::filesystem::create_directories(userFile("dir.1-2.new"));
  const char* stale[] = {"notes.xml.123-7.new", "a.b.99999-123456.new", "5.1-0.new", "sub/x.txt.5-6.new"};
  // Not of the form, a folder, and the record folder, whose own rule keeps
  // any name that is not a record's.
  const char* kept[] = {"notes.xml", "notes.xml.new", "notes.xml.123.new", "notes.xml.12-.new", ".1-2.new",
                        "notes.xml.1-2.new.bak", "notes.1x-2.new", "sub/y.txt", "auction/x.123-7.new"};
  // Beside those folders: the login cache's and the store document's, and others' files.
  const char* staleBeside[] = {"loginCache.properties.123-7.new", "store.xml.5-0.new"};
  const char* keptBeside[] = {"id.txt.1-2.new", "loginCache.properties", "store.xml.new"};
  for (const char* name : stale) inst.plain("htdocs/app/WEB-INF/user/" + std::string(name), "half");
  for (const char* name : kept) inst.plain("htdocs/app/WEB-INF/user/" + std::string(name), "whole");
  for (const char* name : staleBeside) inst.plain("htdocs/app/" + std::string(name), "half");
  for (const char* name : keptBeside) inst.plain("htdocs/app/" + std::string(name), "whole");
  server = std::make_unique<ServerProcess>(inst.folder());
  ASSERT_TRUE(server->running());
  for (const char* name : stale) EXPECT_FALSE(platform::File(userFile(name)).exists()) << name;
  for (const char* name : kept) EXPECT_TRUE(platform::File(userFile(name)).exists()) << name;
  for (const char* name : staleBeside) EXPECT_FALSE(platform::File(inst.app() + name).exists()) << name;
  for (const char* name : keptBeside) EXPECT_TRUE(platform::File(inst.app() + name).exists()) << name;
  EXPECT_TRUE(platform::File(userFile("dir.1-2.new")).isDirectory());
}

TEST_F(CatalogueCommandsTest, NamesLeavingTheUserFilesAreRefused) {
  testsupport::TempDir outside;
  std::filesystem::create_directories(inst.app() + "WEB-INF/user2");
  ASSERT_EQ(::symlink(outside.path().c_str(), userFile("out").c_str()), 0);
  struct Case {
    std::string name;
    std::string path;  // where the file would have gone
  } cases[] = {
      {std::string("x\0.txt", 6), userFile("x")},  // a NUL would cut the name short
      {"../escape.txt", inst.app() + "WEB-INF/escape.txt"},
      {"../user2/notes.xml", inst.app() + "WEB-INF/user2/notes.xml"},  // the sibling folder
      {"auction/../../../index.txt", inst.app() + "index.txt"},
      {"out/notes.xml", outside.file("notes.xml")},  // through a link
  };
  for (const Case& c : cases) {
    EXPECT_EQ(call("saveUserFile", c.name, "overwritten"), "error:invalid_path") << c.name;
    EXPECT_FALSE(platform::File(c.path).exists()) << c.name;
    EXPECT_EQ(call("loadUserFile", c.name), "") << c.name;
  }
  EXPECT_EQ(call("loadUserFile", "../global.properties"), "");
  EXPECT_EQ(call("loadUserFile", "collector.xml$../global.properties"),
            "<files><file name=\"collector.xml\"><collector/></file>"
            "<file name=\"../global.properties\"></file></files>");
}

TEST_F(CatalogueCommandsTest, ProgramFilesComeFromTheFlashFolder) {
  inst.store("htdocs/app/flash/menu.xml", std::string("\xFE\xFF\0<\0m\0/\0>\0\n", 12));
  inst.store("htdocs/app/flash/text.txt", "line 1\nline 2\n");
  EXPECT_EQ(call("loadFile", "menu.xml"), "<m/>");
  EXPECT_EQ(call("loadFile", "menu.xml$text.txt"),
            "<files><file name=\"menu.xml\"><m/></file><file name=\"text.txt\">line 1line 2</file></files>");
  EXPECT_EQ(call("loadFile", "../WEB-INF/global.properties"), "");
  EXPECT_EQ(call("loadFile", "gone.txt"), "error reading file gone.txt");
  EXPECT_NE(server->output().find("file not found: gone.txt\n"), std::string::npos);
}

TEST_F(CatalogueCommandsTest, CategoryBranchesAndCharacteristicsSetsOfTheCurrentSite) {
  const std::string top =
      "<_-1 parents=\"#-1\" count=\"2\">"
      "<item uniqueID=\"10\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" name=\"'Home+%26+Garden'\" rpa=\"0\" "
      "mrp=\"1.00\" rra=\"0\"/>"
      "<item uniqueID=\"20\" csId=\"0\" leaf=\"1\" ls=\"1\" ce=\"1\" name=\"'Books'\" rpa=\"0\" mrp=\"1.00\" "
      "rra=\"1\"/></_-1>";
  const std::string chairs =
      "<_111 parents=\"#-1.10.11.111\" count=\"1\">"
      "<item uniqueID=\"111\" csId=\"500\" leaf=\"1\" ls=\"0\" ce=\"0\" name=\"'Chairs'\" rpa=\"1\" "
      "mrp=\"9.50\" rra=\"0\"/></_111>";
  EXPECT_EQ(call("getCategories", "-1"), top);
  EXPECT_EQ(call("getCategories", "-1.111"), top + chairs);
  EXPECT_EQ(call("getCategories", "40"),
            "<_40 parents=\"#41.40\" count=\"1\"><item uniqueID=\"41\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" "
            "name=\"'Loop+B'\" rpa=\"0\" mrp=\"1.00\" rra=\"0\"/></_40>");
  EXPECT_EQ(call("getCategories", ""), "");
  EXPECT_EQ(call("getCategories", "-1.999"), "error");
  EXPECT_EQ(call("getCategories", "ten"), "error");

  EXPECT_EQ(call("getCharacteristicsSet", "500"),
            "<set id=\"500\"><name>Chair &amp; Co</name><value id=\"1\">Oak wood</value></set>");
  EXPECT_EQ(call("getCharacteristicsSet", "501"), "");
  EXPECT_EQ(call("getCharacteristicsSet", "five hundred"), std::nullopt);
}

TEST_F(CatalogueCommandsTest, DetailFilesOnlyFromTheDomainsCacheFolder) {
  // Read as UTF-8 whatever the declaration says; only the root element.
  EXPECT_EQ(call("geteBayDetails", "ShippingDetails"),
            "<GeteBayDetailsResponse xmlns=\"urn:ebay:apis:eBLBaseComponents\"><ShippingServiceDetails>"
            "<ShippingService>DE_P\xC3\xA4" "ckchen</ShippingService><Description>P\xC3\xA4" "ckchen &amp; Paket"
            "</Description></ShippingServiceDetails></GeteBayDetailsResponse>");
  EXPECT_EQ(call("geteBayDetails", "Missing"), std::nullopt);
  // A parsable file beside the folder is still out of reach.
  EXPECT_EQ(call("geteBayDetails", "../config/messages"), std::nullopt);
  EXPECT_EQ(call("geteBayDetails", "../../77/ebay-cache/getcategory2cs"), std::nullopt);
}

}  // namespace
}  // namespace e2e
