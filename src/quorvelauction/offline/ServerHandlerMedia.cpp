// The picture and sound commands: the companion program's dialogs, the size
// variants of a new picture, and the removal of pictures.

#include <algorithm>
#include <limits>

#include "platform/BufferedReader.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/InputStreamReader.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OfflineImageHelper.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServerImageInfo.h"

namespace quorvelauction::offline {

using common::GlobalConfig;
using platform::File;
using platform::System;

namespace {

const char kInvalidType[] = "error:invalid_type";
const char kNoFreeId[] = "error:no_free_id";

// The type goes into the command string as it is: a blank would split it
// into another argument, "*" into another field.
bool safeType(const std::string& type) {
  return std::none_of(type.begin(), type.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u <= ' ' || u == 0x7f || c == '*';
  });
}

std::string companion(const std::string& verbPart) {
  return Server::programPath + Server::programName.value_or("null") + verbPart;
}

void startAndWait(const std::string& command) { OfflineImageHelper::runAndWait(command); }

std::string imagesFolder() { return GlobalConfig::getUserPath() + "images/"; }

bool exists(const std::string& path) { return File(path).exists(); }

// The "Standard", "Ebay" and "Thumb" copies of a picture, and the picture
// itself rescaled to its own type's size unless that is "Standard".
void makeVariants(const std::string& domain, int32_t id, const std::string& type) {
  const std::string source = "images/" + std::to_string(id) + ".jpg";
  const std::string base = std::string("images") + File::separator + std::to_string(id);
  auto variant = [&](const std::string& sizeType, const std::string& suffix) {
    common::Auction::Dimension size = common::Auction::getDimensionByType(domain, sizeType);
    GlobalConfig::getImageHelper()->scaleImage(source, base + suffix, size.width, size.height, 0, false);
  };
  variant("Standard", "v.jpg");
  variant("Ebay", "e.jpg");
  if (type != "Standard") variant(type, ".jpg");
  variant("Thumb", "t.jpg");
}

// The count of "images.txt", bounded by the pictures from first on that
// really exist: a stale or wrong count must not make variants of nothing.
int32_t selectedCount(int32_t first) {
  auto in = GlobalConfig::createFileInputStream(imagesFolder() + "images.txt");
  platform::BufferedReader reader(std::make_unique<platform::InputStreamReader>(std::move(in), "utf-8"));
  std::optional<std::string> line = reader.readLine();
  reader.close();
  if (!line) throw platform::NumberFormatException("null");
  int32_t count = platform::Integers::parseInt(*line);
  int32_t present = 0;
  while (present < count && first <= std::numeric_limits<int32_t>::max() - present &&
         exists(imagesFolder() + std::to_string(first + present) + ".jpg"))
    ++present;
  return present;
}

}  // namespace

std::string Server::Handler::onOfflineSelectImage(Properties& props) {
  const std::string type = props.getProperty("type").value_or("null");
  if (!safeType(type)) return kInvalidType;
  std::optional<NumberReservation> reserved = createImageId();
  if (!reserved) return kNoFreeId;
  const int32_t id = reserved->id();
  const std::string picture = imagesFolder() + std::to_string(id) + ".jpg";
  System::out().println("fileget start");
  const std::string command = companion(" image*0*" + File(picture).getAbsolutePath() + "*" + type);
  System::out().println("cmd: " + command);
  startAndWait(command);
  System::out().println("fileget end");
  if (exists(imagesFolder() + std::to_string(id) + ".swf")) return "selected:swf:" + std::to_string(id);
  if (!exists(picture)) {
    System::out().println("aborted");
    return "aborted";
  }
  const std::string chosen = OfflineImageHelper::getType(id);
  System::out().println("selected type: " + chosen);
  makeVariants(server().domain.get(), id, chosen);
  Server::userImages.with([&](std::vector<ImageInfo>& images) { images.push_back({id, chosen}); });
  return "selected:" + chosen + ":" + std::to_string(id);
}

std::string Server::Handler::onOfflineSelectImages(Properties& props) {
  const std::string type = props.getProperty("type").value_or("null");
  if (!safeType(type)) return kInvalidType;
  std::optional<NumberReservation> reserved = createImageId(true);
  if (!reserved) return kNoFreeId;
  const int32_t first = reserved->id();
  // A count left by an earlier selection must not be read as this one's.
  File(imagesFolder() + "images.txt").remove();
  const std::string picture = imagesFolder() + std::to_string(first) + ".jpg";
  System::out().println("fileget start");
  const std::string folder = File(picture).getAbsoluteFile().getParent().value_or("");
  const std::string command = companion(" images*0*" + folder + "\\*" + std::to_string(first) + "*" + type);
  System::out().println("cmd: " + command);
  startAndWait(command);
  System::out().println("fileget end");
  if (exists(imagesFolder() + std::to_string(first) + ".swf")) return "selected:swf:" + std::to_string(first);
  if (!exists(picture)) {
    System::out().println("aborted");
    return "aborted";
  }
  const int32_t count = selectedCount(first);
  const std::string domain = server().domain.get();
  std::string result = "selected";
  for (int32_t i = 0; i < count; ++i) {
    const int32_t id = first + i;
    const std::string chosen = OfflineImageHelper::getType(id);
    System::out().println("selected type: " + chosen);
    result.append(":").append(chosen).append(":").append(std::to_string(id));
    Server::userImages.with([&](std::vector<ImageInfo>& images) { images.push_back({id, chosen}); });
    makeVariants(domain, id, chosen);
  }
  return result;
}

std::string Server::Handler::onOfflineChangeImage(Properties& props) {
  std::optional<std::string> text = props.getProperty("imageId");
  if (!text) throw platform::NumberFormatException("null");
  const int32_t id = platform::Integers::parseInt(*text);
  const std::string type = props.getProperty("type").value_or("null");
  if (!safeType(type)) return kInvalidType;
  const File picture(imagesFolder() + std::to_string(id) + ".jpg");
  const int64_t before = picture.lastModified();
  System::out().println("onOfflineChangeImage start");
  const std::string command = companion(" changeImage*0*" + GlobalConfig::getUserPath() + "images\\" +
                                        std::to_string(id) + ".jpg*" + type);
  System::out().println("cmd: " + command);
  startAndWait(command);
  System::out().println("onOfflineChangeImage end");
  if (picture.lastModified() == before) return "aborted";
  makeVariants(server().domain.get(), id, OfflineImageHelper::getType(id));
  return "ok";
}

std::string Server::Handler::onOfflineSelectSound(Properties&) {
  std::optional<NumberReservation> reserved = createSoundId();
  if (!reserved) return kNoFreeId;
  const int32_t id = reserved->id();
  const File sound(GlobalConfig::getUserPath() + "sounds/" + std::to_string(id) + ".mp3");
  System::out().println("fileget start");
  startAndWait(companion(" sound*0*" + sound.getAbsolutePath() + "*Standard"));
  System::out().println("fileget end");
  if (!sound.exists()) {
    System::out().println("sound select aborted");
    return "aborted";
  }
  System::out().println("sound selected, id: " + std::to_string(id));
  return "selected:Standard:" + std::to_string(id);
}

std::string Server::Handler::onRemoveImage(Properties& props) {
  std::optional<std::string> ids = props.getProperty("imageIdString");
  if (!ids) throw platform::NullPointerException("no imageIdString");
  const File folder(GlobalConfig::getUserPath() + "images");
  for (const std::string& piece : platform::Strings::split(*ids, " ")) {
    if (piece.empty()) continue;
    Server::userImages.with([&](std::vector<ImageInfo>& images) {
      if (images.empty()) return;
      const int32_t id = platform::Integers::parseInt(piece);
      auto hit = std::find_if(images.begin(), images.end(), [&](const ImageInfo& i) { return i.id == id; });
      if (hit != images.end()) images.erase(hit);
    });
    folder.mkdirs();
    std::optional<std::vector<File>> files = folder.listFiles();
    if (!files) throw platform::IOException("cannot list " + folder.getPath());
    for (const File& file : *files) {
      // A folder is never an image's file; moving one aside would lose
      // whatever it holds.
      if (Server::atoiString(file.getName()) != piece || file.isDirectory()) continue;
      const std::string path = file.getAbsolutePath();
      System::out().println("deleting image: " + path);
      const File target(path + ".deleted");
      if (target.exists()) target.remove();
      file.renameTo(target);
      target.remove();
    }
  }
  return "ok";
}

}  // namespace quorvelauction::offline
