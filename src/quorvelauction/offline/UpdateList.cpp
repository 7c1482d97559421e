#include "quorvelauction/offline/UpdateList.h"

#include <cctype>
#include <optional>

#include "platform/BufferedReader.h"
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
    // The list's own name would land on the new list's work file.
    if (checked && (!staysInside(fields[0]) || localName(fields[0]) == "filelist.txt"))
      throw platform::IOException("bad name in update file list: " + fields[0]);
    entries.push_back({fields[0], common::OfflineFile(localName(fields[0]), size, checksum)});
  }
  reader.close();
  return entries;
}

}  // namespace quorvelauction::offline
