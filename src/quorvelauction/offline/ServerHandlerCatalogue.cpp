// The user and program file commands and the eBay catalogue commands.

#include <optional>
#include <string>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

namespace {

using common::GlobalConfig;

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
  platform::OutputStreamPtr out = GlobalConfig::createFileOutputStream(userPath + kUserFolder + name);
  out->write(content);
  out->close();
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

}  // namespace quorvelauction::offline
