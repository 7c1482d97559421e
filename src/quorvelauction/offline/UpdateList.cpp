#include "quorvelauction/offline/UpdateList.h"

#include <cctype>
#include <optional>
#include <set>

#include "platform/BufferedReader.h"
#include "platform/File.h"
#include "platform/Exceptions.h"
#include "platform/InputStreamReader.h"
#include "platform/Strings.h"
#include "quorvelauction/common/GlobalConfig.h"

namespace quorvelauction::offline {

using platform::Strings;

std::string UpdateList::localName(const std::string& listed) {
  return Strings::replace(listed, "\\", "/");
}

bool UpdateList::staysInside(const std::string& listed) {
  const std::string name = localName(listed);
  if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos) return false;
  if (name.size() > 1 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  size_t start = 0;
  while (true) {
    size_t end = name.find('/', start);
    std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

std::optional<std::string> UpdateList::collision(const std::vector<Entry>& entries) {
  std::set<std::string> files, folders;
  for (const Entry& e : entries) {
    const std::string& name = e.file.name;
    files.insert(name);
    for (size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
      folders.insert(name.substr(0, slash));
  }
  auto workFile = [&files](const std::string& name, std::string_view ending) {
    return Strings::endsWith(name, ending) && files.count(name.substr(0, name.size() - ending.size())) > 0;
  };
  std::set<std::string> seen;
  for (const Entry& e : entries) {
    const std::string& name = e.file.name;
    if (!seen.insert(name).second || folders.count(name) > 0 || workFile(name, ".update") ||
        workFile(name, ".backup"))
      return e.listed;
  }
  return std::nullopt;
}

std::vector<UpdateList::Entry> UpdateList::read(const std::string& path, bool checked) {
  platform::BufferedReader reader(std::make_unique<platform::InputStreamReader>(
      common::GlobalConfig::createFileInputStream(path), "utf-8"));
  std::vector<Entry> entries;
  std::string line;
  while (reader.readLine(line)) {
    std::string text = Strings::trim(line);
    if (text.empty()) continue;
    std::vector<std::string> fields = Strings::split(text, "*");
    if (fields.size() < 3) continue;
    int32_t size = platform::Integers::parseInt(fields[1]);
    int64_t checksum = platform::Integers::parseLong(fields[2]);
    if (checked && (!staysInside(fields[0]) || isListFile(localName(fields[0])))) refuse(fields[0]);
    entries.push_back({fields[0], common::OfflineFile(localName(fields[0]), size, checksum)});
  }
  reader.close();
  if (checked) {
    if (std::optional<std::string> name = collision(entries)) refuse(*name);
    if (std::optional<std::string> name = folderOnDisk(entries, path.substr(0, path.rfind('/') + 1)))
      refuse(*name);
  }
  return entries;
}

std::optional<std::string> UpdateList::folderOnDisk(const std::vector<Entry>& entries, const std::string& folder) {
  for (const Entry& e : entries) {
    if (platform::File(folder + e.file.name).isDirectory()) return e.listed;
  }
  return std::nullopt;
}

bool UpdateList::isListFile(const std::string& name) {
  // The list and its work files are the swap's own: an entry of that name
  // would replace the installed list with its bytes.
  return name == "filelist.txt" || name == "filelist.txt.update" || name == "filelist.txt.backup";
}

void UpdateList::refuse(const std::string& listed) {
  throw platform::IOException("bad name in update file list: " + listed);
}

}  // namespace quorvelauction::offline
