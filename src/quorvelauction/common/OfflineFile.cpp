#include "quorvelauction/common/OfflineFile.h"

#include <zlib.h>

#include <exception>
#include <utility>

#include "platform/BufferedWriter.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/OutputStreamWriter.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::common {

namespace {

std::vector<platform::File> entriesOf(const platform::File& folder) {
  std::optional<std::vector<platform::File>> files = folder.listFiles();
  if (!files) throw platform::IOException("cannot list the folder " + folder.getPath());
  return std::move(*files);
}

}  // namespace

OfflineFile::OfflineFile(std::string name, int32_t size, int64_t checksum)
    : name(std::move(name)), size(size), checksum(checksum) {}

void OfflineFile::createFilelist(const std::string& folder) {
  platform::File dir(folder);
  if (!dir.exists()) dir.mkdirs();
  platform::File list(folder + "filelist.txt");
  platform::BufferedWriter writer(std::make_unique<platform::OutputStreamWriter>(
      GlobalConfig::createFileOutputStream(list), platform::Charset::utf8()));
  int32_t prefixLength = static_cast<int32_t>(list.getParent().value_or("").size()) + 1;
  addFiles(writer, prefixLength, entriesOf(dir));
  writer.close();
}

void OfflineFile::addFiles(platform::Writer& writer, int32_t prefixLength,
                           const std::vector<platform::File>& files) {
  // Depth first without recursion: a stack of folder listings in progress.
  std::vector<std::pair<std::vector<platform::File>, size_t>> stack;
  stack.emplace_back(files, 0);
  while (!stack.empty()) {
    auto& [entries, next] = stack.back();
    if (next == entries.size()) {
      stack.pop_back();
      continue;
    }
    platform::File file = entries[next++];
    if (file.isDirectory()) {
      stack.emplace_back(entriesOf(file), 0);
      continue;
    }
    std::string own = file.getName();
    if (!file.isFile() || own == "." || own == ".." || own == "filelist.txt" || own == "dont_update.txt")
      continue;
    std::string path = file.getAbsolutePath();
    std::string relative = static_cast<size_t>(prefixLength) <= path.size() ? path.substr(prefixLength) : "";
    writer.write(relative + "*" + std::to_string(static_cast<int32_t>(file.length())) + "*" +
                 std::to_string(checksumOf(file)) + "\n");
  }
}

int64_t OfflineFile::checksumOf(const platform::File& file) {
  platform::InputStreamPtr in = GlobalConfig::createFileInputStream(file);
  int64_t length = file.length();
  uLong crc = crc32(0L, Z_NULL, 0);
  char buffer[kChunk];
  int64_t total = 0;
  while (total != length) {
    int n = in->read(buffer, 0, kChunk);
    if (n < 0) break;
    total += n;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n));
  }
  in->close();
  return static_cast<int64_t>(crc & 0xFFFFFFFFu);
}

bool OfflineFile::needsUpdate(const platform::File& file) const {
  if (!file.exists()) return true;
  if (file.length() != static_cast<int64_t>(size)) return true;
  return checksumOf(file) != checksum;
}

bool OfflineFile::update(std::vector<std::string>& names, const std::string& folder,
                         const std::string& /*host*/, const std::string& /*sessionId*/) const {
  platform::File target(folder + name);
  if (!needsUpdate(target)) return false;
  if (target.exists()) {
    // A stale old copy; the swap moves the target to this name.
    platform::File backup(target.getAbsolutePath() + ".backup");
    if (backup.exists()) backup.remove();
  } else {
    // Any ".backup" is the only old copy left: it goes once the new file is
    // in place.
    std::optional<platform::File> parent = target.getParentFile();
    if (parent) parent->mkdirs();
  }
  names.push_back(name);
  return true;
}

}  // namespace quorvelauction::common
