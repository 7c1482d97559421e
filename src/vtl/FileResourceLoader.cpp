#include "vtl/FileResourceLoader.h"

#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/Strings.h"
#include "vtl/Exceptions.h"

namespace vtl {

namespace {

// The name as a path below the root, or nothing when it leaves the root.
bool normalize(const std::string& name, std::string& out) {
  std::vector<std::string> parts;
  for (const std::string& part : platform::Strings::split(name, "/")) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (parts.empty()) return false;
  out.clear();
  for (const std::string& part : parts) {
    if (!out.empty()) out += '/';
    out += part;
  }
  return true;
}

}  // namespace

void FileResourceLoader::init(const LoaderSettings& settings) {
  auto path = settings.find("path");
  if (path == settings.end()) return;
  paths_.clear();
  for (const std::string& part : platform::Strings::split(path->second, ",")) {
    std::string folder = platform::Strings::trim(part);
    if (!folder.empty()) paths_.push_back(folder);
  }
}

std::string FileResourceLoader::find(const std::string& name) const {
  std::string relative;
  if (!normalize(name, relative)) return "";
  for (const std::string& folder : paths_) {
    platform::File file(folder, relative);
    if (file.isFile()) return file.getPath();
  }
  return "";
}

platform::InputStreamPtr FileResourceLoader::getResourceStream(const std::string& name) {
  std::string relative;
  if (normalize(name, relative)) {
    for (const std::string& folder : paths_) {
      try {
        return std::make_unique<platform::FileInputStream>(platform::File(folder, relative));
      } catch (const platform::FileNotFoundException&) {
      }
    }
  }
  throw ResourceNotFoundException(name);
}

bool FileResourceLoader::isSourceModified(const Resource& resource) {
  return getLastModified(resource) != resource.getLastModified();
}

int64_t FileResourceLoader::getLastModified(const Resource& resource) {
  std::string path = find(resource.getName());
  return path.empty() ? 0 : platform::File(path).lastModified();
}

}  // namespace vtl
