#include "e2e/Installation.h"

#include <filesystem>

#include "platform/File.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"

namespace e2e {

Installation::Installation() {
  dir_.write("secret.txt", "outside");
  plain("messages.properties", "programName=companion\n");
  plain("id.txt", "4711\n");
  plain("readme.txt", "program folder file\n");
  store("htdocs/index.html", "<html>start</html>\n");
  store("htdocs/app/WEB-INF/global.properties",
        "server.host=service.quorvelauction.invalid\ndomains=auction_de\ndefaultDomain=auction_de\n");
  store("htdocs/app/WEB-INF/auction_de/config/config.properties", "ebayApi.SiteId=77\n");
  store("htdocs/app/WEB-INF/auction_de/config/messages.xml",
        "<messages><message id=\"exception\">Fehler: %1</message></messages>\n");
  store("htdocs/app/WEB-INF/auction_de/webtemplate/auction.html", "<p>$title</p>\n");
  store("htdocs/app/WEB-INF/user/collector.xml", "<collector/>\n");
}

void Installation::store(const std::string& relative, const std::string& content) const {
  const std::string path = folder() + relative;
  platform::File(path).getParentFile()->mkdirs();
  // The path rule looks for "dont_crypt.txt" in the program folder.
  quorvelauction::offline::Server::programPath = folder();
  quorvelauction::offline::CryptedFileOutputStream out(path);
  out.write(content);
  out.close();
}

void Installation::plain(const std::string& relative, const std::string& bytes) const {
  dir_.write("inst/" + relative, bytes);
}

std::string Installation::read(const std::string& relative) const {
  return testsupport::TempDir::read(folder() + relative);
}

void Installation::prepareMedia() const {
  store("htdocs/app/WEB-INF/auction_de/config/config.properties",
        "auction.image.dimension.Standard=400x300\nauction.image.dimension.Ebay=640x480\n"
        "auction.image.dimension.Thumb=96x72\n");
  std::filesystem::copy_file(std::string(QA_BINARY_DIR) + "/fake_companion", folder() + "companion");
  std::filesystem::create_directories(user() + "images");
  std::filesystem::create_directories(user() + "sounds");
}

}  // namespace e2e
