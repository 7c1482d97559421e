// The auction preview: the listing page of an auction rendered for the
// local server, its collector movie, the cross-gallery settings and the
// companion program opening the page in the browser.


#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/StringWriter.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/Collector.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "vtl/Velocity.h"
#include "vtl/XmlValues.h"


namespace quorvelauction::offline {

using common::Auction;
using common::GlobalConfig;
using common::XMLUtils;

namespace {

// The attribute a settings value comes from; its absence fails the settings.
std::string valueOf(const xml::Element& element, std::string_view attribute) {
  if (!element) throw platform::NullPointerException("settings element missing");
  std::optional<std::string> value = element.attributeValue(attribute);
  if (!value) throw platform::NullPointerException("attribute " + std::string(attribute) + " missing");
  return *value;
}

std::string dataValue(const xml::Element& settings, std::string_view child, std::string_view attribute) {
  xml::Element element = settings.element(child);
  if (!element) throw platform::NullPointerException("element " + std::string(child) + " missing");
  return valueOf(element.element("data"), attribute);
}

std::string number(const std::string& text) { return std::to_string(platform::Integers::parseInt(text)); }

// The gallery settings file's text: the thirteen children in file order.
std::string gallerySettings(const xml::Element& s) {
  // Read in the order the settings are taken; numbers fail before anything
  // is written.
  std::string maxItems = number(valueOf(s, "maxItems"));
  std::string category = number(dataValue(s, "category", "id"));
  std::string subfolder = dataValue(s, "subfolder", "selected") == "true" ? "true" : "false";
  std::string remainingTime = number(dataValue(s, "remainingTime", "value"));
  std::string shopUrl = valueOf(s, "shopUrl");
  std::string galleryName = valueOf(s, "galleryName");
  std::vector<std::pair<const char*, std::string>> children = {
      {"galleryName", galleryName},
      {"shopUrl", shopUrl},
      {"galleryVar", dataValue(s, "galleryVar", "value")},
      {"backgroundColor", dataValue(s, "backgroundColor", "value")},
      {"galleryColor1", dataValue(s, "galleryColor1", "value")},
      {"galleryColor2", dataValue(s, "galleryColor2", "value")},
      {"galleryColor3", dataValue(s, "galleryColor3", "value")},
      {"speed", dataValue(s, "speed", "value")},
      {"maxItems", maxItems},
      {"category", category},
      {"subfolder", subfolder},
      {"remainingTime", remainingTime},
      {"logo", dataValue(s, "logo", "value")},
  };
  xml::Document document;
  xml::Element root = document.addElement("settings");
  for (const auto& [name, text] : children) root.addElement(name).setText(text);
  return XMLUtils::asCompactString(root);
}

void writeFile(platform::OutputStreamPtr out, const std::string& bytes) {
  out->write(bytes.data(), 0, static_cast<int>(bytes.size()));
  out->close();
}

std::string merge(const std::string& name, const std::string& encoding, vtl::Context& context) {
  platform::StringWriter writer;
  vtl::Velocity::mergeTemplate(name, encoding, context, writer);
  return writer.take();
}

}  // namespace

std::string Server::Handler::onAuctionPreview(Properties& props) {
  auto& out = platform::System::out();
  out.println("onAuctionPreview start");
  std::string result = "error";
  const std::string domain = server_.domain.get();
  try {
    std::optional<std::string> content = props.getProperty("xmlContent");
    if (!content) throw platform::NullPointerException("xmlContent missing");
    xml::Document d = XMLUtils::stringToDoc(*content);
    Auction::scaleImages(domain, d);
    OfflineAuction::convertFaPresetPaths(d);
    vtl::Context ctx = Auction::createVelocityContext(domain, 1, d);
    std::string html = Auction::generatePreviewHtml(ctx, domain, server_.userName.get(), 1, d, "",
                                                    server_.sessionId);
    try {
      xml::Element gallery = XMLUtils::getByPath(d.getRootElement(), "auction/item").element("faCrossGallery");
      if (gallery && valueOf(gallery.element("data"), "selected") == "true") {
        vtl::Context galleryContext;
        galleryContext.put("domain", domain);
        html += merge("WEB-INF/" + domain + "/webtemplate/auction/gallery.html", "utf-8", galleryContext);
        std::string settings = gallerySettings(gallery.element("settings"));
        common::FileStreamFactory* files = GlobalConfig::getFileStreamFactory();
        if (!files) throw platform::IllegalStateException("no file stream factory installed");
        writeFile(files->createFileOutputStream(rootPath + "settings.xml"), settings);
      }
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
    }
    html += Auction::getAddHtml(domain, d);
    html += addWidgetsDummy(domain);
    const std::string name = "preview-" + server_.sessionId;
    vtl::Context page;
    page.put("auction", html);
    page.put("collector", vtl::XmlValues::of(d.getRootElement()));
    Auction::addHtmlVariationVariables(domain, page, d);
    std::string text = merge("WEB-INF/" + domain + "/webtemplate/preview.html", "ISO-8859-1", page);
    const std::string folder = GlobalConfig::getPath() + "preview/";
    writeFile(GlobalConfig::createFileOutputStream(folder + name + ".html"),
              platform::Charset::iso88591().encode(text));
    writeFile(GlobalConfig::createFileOutputStream(folder + name + ".swf"),
              common::Collector::getBytes(Auction::formEncode(XMLUtils::asCompactString(d.getRootElement()))));
    result = "/preview/" + name + ".html#quorvel";
    platform::Runtime::execDetached(programPath + programName.value_or("null") + " url*http://localhost:17985/app" + result);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  out.println("onAuctionPreview end, result: " + result);
  return result;
}

}  // namespace quorvelauction::offline
