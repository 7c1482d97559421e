#include "quorvelauction/offline/OfflineImageHelper.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/BufferedReader.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/InputStreamReader.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"


namespace quorvelauction::offline {

using common::GlobalConfig;

namespace {

// Lines of a plain text file in the platform's default character set.
class InfoFile {
 public:
  explicit InfoFile(const std::string& path)
      : reader_(std::make_unique<platform::InputStreamReader>(
            std::make_unique<platform::FileInputStream>(path), platform::Charset::utf8())) {}
  ~InfoFile() { reader_.close(); }
  std::optional<std::string> readLine() { return reader_.readLine(); }

 private:
  platform::BufferedReader reader_;
};

int32_t parseLine(const std::optional<std::string>& line) {
  if (!line) throw platform::NumberFormatException("null");
  return platform::Integers::parseInt(*line);
}

}  // namespace

std::string OfflineImageHelper::scaleCommand(const std::string& source, const std::string& target,
                                             int32_t width, int32_t height, int32_t rotation) {
  if (rotation == -90) rotation = 270;
  bool quarter = rotation == 90 || rotation == 270;
  int32_t first = quarter ? height : width;
  int32_t second = quarter ? width : height;
  const std::string& user = GlobalConfig::getUserPath();
  return Server::programPath + Server::programName.value_or("null") + " scale*" + user + source +
         "*" + user + target + "*" + std::to_string(first) + "*" + std::to_string(second) + "*" +
         std::to_string(rotation);
}

void OfflineImageHelper::runAndWait(const std::string& command) {
  platform::Runtime::waitFor(platform::Runtime::exec(command));
}

void OfflineImageHelper::scaleImage(const std::string& source, const std::string& target,
                                    int32_t width, int32_t height, int32_t rotation, bool flag,
                                    float) {
  scaleImage(source, target, width, height, rotation, flag);
}

void OfflineImageHelper::scaleImage(const std::string& source, const std::string& target,
                                    int32_t width, int32_t height, int32_t rotation, bool) {
  std::string command = scaleCommand(source, target, width, height, rotation);
  platform::System::out().println("scaleImage command: " + command);
  runAndWait(command);
}

void OfflineImageHelper::overlayImage(const std::string&, const std::string&, float) {}

void OfflineImageHelper::overlayImage(const std::string&, const std::string&) {}

std::pair<int32_t, int32_t> OfflineImageHelper::getSize(const std::string& name) {
  size_t slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  std::string path = GlobalConfig::getUserPath() + "images/" + base + ".info";
  platform::System::out().println("getSize: " + path);
  if (!platform::File(path).exists()) return {400, 300};
  InfoFile info(path);
  info.readLine();
  int32_t width = parseLine(info.readLine());
  int32_t height = parseLine(info.readLine());
  return {width, height};
}

std::string OfflineImageHelper::getType(int32_t id) {
  std::string images = GlobalConfig::getUserPath() + "images/" + std::to_string(id);
  if (platform::File(images + ".swf").exists()) return "swf";
  if (platform::File(images + ".jpg.info").exists()) {
    InfoFile info(images + ".jpg.info");
    std::string first = platform::Strings::trim(info.readLine().value_or(""));
    if (!first.empty()) return first;
  }
  return "Standard";
}

}  // namespace quorvelauction::offline
