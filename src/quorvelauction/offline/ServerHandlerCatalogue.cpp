// The user and program file commands and the eBay catalogue commands.

#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileReplacement.h"
#include "platform/Strings.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "xml/Document.h"

namespace quorvelauction::offline {

namespace {

using common::GlobalConfig;
using common::XMLUtils;

const char kUserFolder[] = "WEB-INF/user/";
const char kProgramFolder[] = "flash/";

// A text parameter the command cannot do without.
std::string textParameter(const platform::Properties& props, std::string_view key) {
  std::optional<std::string> value = props.getProperty(key);
  if (!value) throw platform::NullPointerException("missing parameter " + std::string(key));
  return *value;
}

}  // namespace

std::string Server::Handler::onSaveUserFile(Properties& props) {
  const std::string userPath = GlobalConfig::getUserPath();
  const std::string name = textParameter(props, "name");
  const std::string content = textParameter(props, "content");
  platform::File file(userPath + kUserFolder + name);
  // Any page that reaches the port may call this: a name that leads out of
  // the user files is refused before anything is opened.
  if (!server_.soapFunctions->validPath(userPath, kUserFolder, file)) return "error:invalid_path";
  // Replaced whole: a full disk leaves the previous file, not half of it.
  platform::FileReplacement replacement(file.getPath());
  platform::OutputStreamPtr out = GlobalConfig::createFileOutputStream(replacement.workPath());
  out->write(content);
  out->close();
  replacement.commit();
  return "ok";
}

std::string Server::Handler::onLoadUserFile(Properties& props) {
  return server_.soapFunctions->loadFileWithPrefix(GlobalConfig::getUserPath(), kUserFolder,
                                                   textParameter(props, "name"));
}

std::string Server::Handler::onLoadFile(Properties& props) {
  return server_.soapFunctions->loadFileWithPrefix(GlobalConfig::getPath(), kProgramFolder,
                                                   textParameter(props, "name"));
}

std::string Server::Handler::onGetCategories(Properties& props) {
  std::optional<std::string> parentIds = props.getProperty("parentIds");
  if (!parentIds) return "error";
  return server_.soapFunctions->getCategoriesImpl(server_.domain.get(), *parentIds);
}

std::string Server::Handler::onGetCharacteristicsSet(Properties& props) {
  std::optional<std::string> csId = props.getProperty("csId");
  if (!csId) throw platform::NumberFormatException("null");
  xml::Element set =
      server_.soapFunctions->getCharacteristicsSet(server_.domain.get(), platform::Integers::parseInt(*csId));
  return set ? XMLUtils::asCompactString(set) : "";
}

std::string Server::Handler::onGeteBayDetails(Properties& props) {
  const std::string app = GlobalConfig::getPath();
  const std::string folder = "WEB-INF/" + server_.domain.get() + "/ebay-cache/";
  const std::string path = app + folder + textParameter(props, "detailName") + ".xml";
  xml::Document document;
  // Only the domain's cached detail files may be read; another name is as
  // good as a missing file.
  if (server_.soapFunctions->validPath(app, folder, platform::File(path))) {
    document = XMLUtils::fileToDoc(path);
  } else {
    platform::printStackTrace(platform::FileNotFoundException(path + " (outside the ebay-cache folder)"));
  }
  xml::Element root = document.getRootElement();
  if (!root) throw platform::NullPointerException("no root element in " + path);
  return XMLUtils::asCompactString(root);
}

}  // namespace quorvelauction::offline
