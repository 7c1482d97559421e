// The auction preview through the running server on the demo installation:
// the page, its collector movie, the cross-gallery settings and the
// companion's "url" start, and the failures that answer "error".

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <iostream>
#include <thread>

#include "e2e/Loopback.h"
#include "platform/File.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"
#include "support/TempDir.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using quorvelauction::common::Auction;
using quorvelauction::offline::Server;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

// The demo installation laid out in a temporary folder as the run script
// does it (scrambled by the path rule), with the tests' stand-in companion,
// a user folder of its own holding the demo auction's pictures, and the log
// of the companion's command lines.
class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Server::programPath = inst();
    const fs::path demo = fs::path(QA_SOURCE_DIR) / "demo";
    for (const auto& entry : fs::recursive_directory_iterator(demo)) {
      if (!entry.is_regular_file()) continue;
      const std::string target = inst() + fs::relative(entry.path(), demo).string();
      fs::create_directories(fs::path(target).parent_path());
      quorvelauction::offline::CryptedFileOutputStream out(target);
      out.write(slurp(entry.path().string()));
      out.close();
    }
    dir.write("inst/messages.properties", "programName=fake_companion\n");
    fs::copy_file(std::string(QA_BINARY_DIR) + "/fake_companion", inst() + "fake_companion");
    // Pictures 1 and 2 of faPictures, 3 of the shop page, each in its
    // storage folder; the size notes of the "v" variants (type, width,
    // height) lie in the images folder itself.
    for (const auto& [id, bytes] : {std::pair{1, 1234}, {2, 2000}, {3, 77}}) {
      const std::string folder = "user/" + Auction::getSplittedPath(id, "images") + "/";
      dir.write(folder + std::to_string(id) + "v.jpg", std::string(bytes, 'x'));
      dir.write(folder + std::to_string(id) + ".jpg", "picture");
      dir.write("user/images/" + std::to_string(id) + "v.jpg.info",
                "Standard\n" + std::to_string(300 + 10 * id) + "\n" + std::to_string(200 + 20 * id) + "\n");
    }
    dir.write("user/images/2e.jpg.info", "Ebay\n640\n480\n");
    setenv("QA_COMPANION_LOG", companionLog().c_str(), 1);
    server = std::make_unique<ServerProcess>(inst(), dir.path() + "user");
    ASSERT_TRUE(server->running()) << server->output();
  }
  void TearDown() override { unsetenv("QA_COMPANION_LOG"); }

  std::string inst() const { return dir.path() + "inst/"; }
  std::string app() const { return inst() + "htdocs/app/"; }
  std::string companionLog() const { return dir.path() + "companion.log"; }
  std::string demoAuction() const { return slurp(std::string(QA_SOURCE_DIR) + "/demo/auctions/lamp.xml"); }

  std::string preview(const std::string& xml) {
    std::string body = "func=auctionPreview&a0=session&a1=1&a2=" + formEncode(xml);
    Connection c(server->port());
    c.send("POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    Reply reply = c.readReply();
    EXPECT_EQ(reply.body.rfind("result=", 0), 0u) << reply.body;
    return formDecode(reply.body.substr(std::min<size_t>(7, reply.body.size())));
  }
  // A file the server wrote through the scrambling streams, in plain.
  static std::string plain(const std::string& path) {
    quorvelauction::offline::CryptedFileInputStream in(path);
    std::string text;
    char buffer[4096];
    for (int n; (n = in.read(buffer, 0, sizeof buffer)) > 0;) text.append(buffer, n);
    in.close();
    return text;
  }
  // The companion is started without waiting: its line may come a little later.
  std::string companionLines() {
    for (int i = 0; i < 100; ++i) {
      std::string log = slurp(companionLog());
      if (log.find(" url*") != std::string::npos) return log;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return slurp(companionLog());
  }

  testsupport::TempDir dir;
  std::unique_ptr<ServerProcess> server;
};

// The action data of the collector movie: the deflated part after the
// eight header bytes.
std::string inflateMovie(const std::string& movie) {
  std::string out(1 << 20, '\0');
  uLongf size = out.size();
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(movie.data() + 8), movie.size() - 8),
            Z_OK);
  out.resize(size);
  return out;
}

TEST_F(PreviewTest, DemoAuctionGivesPageMovieSettingsAndBrowserStart) {
  ASSERT_EQ(preview(demoAuction()), "/preview/preview-offline.html#quorvel") << server->output();

  // The page: the listing inside the preview template, pictures on the local
  // server with their sizes, the decoded description in ISO-8859-1, then the
  // gallery and add-on parts.
  const std::string page = plain(app() + "preview/preview-offline.html");
  EXPECT_EQ(page.rfind("<html>\n<head>", 0), 0u) << page;
  for (const std::string& part : {
           std::string("<title>Vorschau: Messinglampe mit Glasschirm</title>"),
           std::string("(Galeriebild 2)"),
           std::string("<h2>Handarbeit um 1920, Versand ab 5 EUR</h2>"),
           std::string("<img src=\"http://127.0.0.1:17985/app//loadimage?id=offline-2e.jpg\" width=\"640\" "
                       "height=\"480\" alt=\"Galeriebild\">"),
           std::string("<img src=\"http://127.0.0.1:17985/app//loadimage?id=offline-2v.jpg\" width=\"320\" "
                       "height=\"240\" alt=\"Bild 2\">"),
           std::string("<div class=\"description\"><p>Eine <b>sch\xF6ne</b> Lampe aus Messing.</p>"),
           std::string("<dd>12,50 EUR</dd>"),
           std::string("<dd>Hamburg</dd>"),
           std::string("<param name=\"flashVars\" value=\"collector=preview-offline.swf&amp;user=&amp;lang=de\">"),
           std::string("domain=auction_de\" width=\"600\" height=\"160\"></object></div>\n"
                       "<div class=\"add\">Erstellt mit Quorvel Auction</div>\n"),
       })
    EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
  EXPECT_LT(page.find("<div class=\"listing\">"), page.find("<div class=\"crossgallery\">"));
  EXPECT_EQ(page.substr(page.size() - 16), "</body>\n</html>\n");

  // Served back in plain, though scrambled on disk.
  Reply served = get(server->port(), "/app/preview/preview-offline.html");
  EXPECT_EQ(served.body, page);
  EXPECT_NE(slurp(app() + "preview/preview-offline.html"), page);

  // The movie carries the rewritten auction XML, form-encoded.
  const std::string actions = inflateMovie(plain(app() + "preview/preview-offline.swf"));
  for (const std::string& part : {
           std::string("<picturePath value=\"http://127.0.0.1:17985/app//loadimage?id=offline-\"/></faPresets>"),
           std::string("<templatePath value=\"http://localhost:17985/flash/templates/\"/>"),
           std::string("<fontPath value=\"http://localhost:17985/flash/fonts/\"/>"),
           std::string("<picture order=\"1\" id=\"1\" size=\"1234\"/><picture order=\"2\" id=\"2\" size=\"2000\"/>"),
           std::string("<MeSite><pictures><picture order=\"1\" id=\"3\" size=\"77\"/></pictures></MeSite>"),
       })
    EXPECT_NE(actions.find(formEncode(part)), std::string::npos) << part;
  EXPECT_EQ(actions.find(formEncode("value=\"old/\"")), std::string::npos);

  EXPECT_EQ(plain(inst() + "htdocs/settings.xml"),
            "<settings><galleryName>Lampenladen</galleryName><shopUrl>http://shop.example/lampen</shopUrl>"
            "<galleryVar>2</galleryVar><backgroundColor>FFFFFF</backgroundColor>"
            "<galleryColor1>336699</galleryColor1><galleryColor2>6699CC</galleryColor2>"
            "<galleryColor3>99CCFF</galleryColor3><speed>3</speed><maxItems>12</maxItems>"
            "<category>5</category><subfolder>false</subfolder><remainingTime>48</remainingTime>"
            "<logo>logo.png</logo></settings>");
  EXPECT_NE(companionLines().find(inst() + "fake_companion url*http://localhost:17985/app/preview/"
                                           "preview-offline.html#quorvel\n"),
            std::string::npos);
}

// The demo's second listing variation: the gallery picture beside the
// title, the texts in their plain forms.
TEST_F(PreviewTest, CompactVariation) {
  std::string xml = demoAuction();
  replaceAll(xml, "value=\"auction\"", "value=\"compact\"");
  ASSERT_EQ(preview(xml), "/preview/preview-offline.html#quorvel");
  const std::string page = plain(app() + "preview/preview-offline.html");
  for (const std::string& part : {
           std::string("<div class=\"listing compact\">"),
           std::string("<img src=\"http://127.0.0.1:17985/app//loadimage?id=offline-2e.jpg\" width=\"640\" "
                       "height=\"480\" alt=\"\">"),
           std::string("<p class=\"terms\">Versand+als+Paket &middot; %C3%9Cberweisung</p>"),
       })
    EXPECT_NE(page.find(part), std::string::npos) << part << "\n" << page;
  EXPECT_EQ(page.find("<div class=\"listing\">"), std::string::npos);
}

// Auctions whose preview fails at one step: the answer is "error", and the
// files of the steps before stay (the settings file comes before the page).
TEST_F(PreviewTest, FailuresAnswerErrorAndKeepEarlierFiles) {
  // A listing template that does not parse.
  Server::programPath = inst();
  quorvelauction::offline::CryptedFileOutputStream broken(
      app() + "WEB-INF/auction_de/webtemplate/auction/broken.html");
  broken.write(std::string("#if($Title <b>$Title</b>\n"));
  broken.close();

  struct Case {
    const char* name;
    std::string from, to;  // applied to the demo auction
    bool settingsWritten;
  };
  const Case cases[] = {
      {"not well formed", "</collector>", "</collect>", false},
      {"no faPresets", "faPresets>", "faPresetsGone>", false},
      {"no shop page pictures", "MeSite>", "MeSiteGone>", false},
      {"no description block", "faDisclaimer>", "faDisclaimerGone>", false},
      {"missing listing template", "value=\"auction\"", "value=\"nosuch\"", false},
      {"broken listing template", "value=\"auction\"", "value=\"broken\"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(app() + "preview/preview-offline.html");
    fs::remove(inst() + "htdocs/settings.xml");
    std::string xml = demoAuction();
    replaceAll(xml, c.from, c.to);
    EXPECT_EQ(preview(xml), "error");
    EXPECT_FALSE(fs::exists(app() + "preview/preview-offline.html"));
    EXPECT_EQ(fs::exists(inst() + "htdocs/settings.xml"), c.settingsWritten);
  }
  EXPECT_EQ(slurp(companionLog()).find(" url*"), std::string::npos) << "no browser for a failed preview";

  // The page cannot be written: the settings file stays.
  fs::remove_all(app() + "preview");
  EXPECT_EQ(preview(demoAuction()), "error");
  EXPECT_TRUE(fs::exists(inst() + "htdocs/settings.xml"));
  EXPECT_EQ(slurp(companionLog()).find(" url*"), std::string::npos);

  // Only the companion fails to start (no gallery picture to scale before):
  // the page is there and its address is the answer.
  fs::create_directories(app() + "preview");
  fs::remove(inst() + "fake_companion");
  std::string xml = demoAuction();
  replaceAll(xml, "<GalleryURL><data id=\"2\"/>", "<GalleryURL><data id=\"0\"/>");
  EXPECT_EQ(preview(xml), "/preview/preview-offline.html#quorvel");
  EXPECT_TRUE(fs::exists(app() + "preview/preview-offline.swf"));
}

// The cross-gallery and the add-on are optional: incomplete gallery
// settings keep the old settings file but not the gallery text; without the
// selection neither is made. An auction without the add-on element is shown
// without it.
TEST_F(PreviewTest, OptionalParts) {
  Server::programPath = inst();
  const std::string settings = inst() + "htdocs/settings.xml";
  struct Case {
    const char* name;
    std::string from, to;
    bool galleryText, newSettings, addText;
  };
  const Case cases[] = {
      {"maxItems not a number", "maxItems=\"12\"", "maxItems=\"many\"", true, false, true},
      {"no logo", "logo>", "logoGone>", true, false, true},
      {"not selected", "<data selected=\"true\"/>\n        <settings", "<data selected=\"false\"/>\n        <settings", false, false, true},
      {"no cross-gallery", "faCrossGallery>", "faCrossGalleryGone>", false, false, true},
      {"no add-on element", "faAdd>", "faAddGone>", true, true, false},
      {"add-on not selected", "<faAdd><data selected=\"true\"", "<faAdd><data selected=\"false\"", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    quorvelauction::offline::CryptedFileOutputStream old(settings);
    old.write(std::string("<settings/>"));
    old.close();
    std::string xml = demoAuction();
    replaceAll(xml, c.from, c.to);
    ASSERT_NE(xml, demoAuction());
    EXPECT_EQ(preview(xml), "/preview/preview-offline.html#quorvel");
    EXPECT_EQ(plain(settings) != "<settings/>", c.newSettings);
    const std::string page = plain(app() + "preview/preview-offline.html");
    EXPECT_EQ(page.find("crossgallery") != std::string::npos, c.galleryText);
    EXPECT_EQ(page.find("<div class=\"add\">") != std::string::npos, c.addText);
  }
}

}  // namespace
}  // namespace e2e
