#include "quorvelauction/offline/CryptedResourceLoader.h"

#include <memory>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "vtl/Exceptions.h"
#include "vtl/Velocity.h"

namespace quorvelauction::offline {

namespace {

// Whether the name's ".." steps lead above the folder it is taken in.
bool leavesFolder(const std::string& name) {
  int depth = 0;
  for (const std::string& part : platform::Strings::split(name, "/")) {
    if (part == "..") {
      if (--depth < 0) return true;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
  }
  return false;
}

}  // namespace

void CryptedResourceLoader::registerClass(vtl::Engine& engine) {
  engine.registerLoaderClass(kClassName, [] { return std::make_unique<CryptedResourceLoader>(); });
}

void CryptedResourceLoader::registerClass() { registerClass(vtl::Velocity::engine()); }

bool CryptedResourceLoader::isSourceModified(const vtl::Resource&) { return true; }

void CryptedResourceLoader::init(const vtl::LoaderSettings&) {}

platform::InputStreamPtr CryptedResourceLoader::getResourceStream(const std::string& name) {
  if (name == "VM_global_library.vm") throw vtl::ResourceNotFoundException(name);
  // Names are built from auction data; none may read outside the folder.
  if (leavesFolder(name)) throw vtl::ResourceNotFoundException(name);
  std::string path = common::GlobalConfig::getPath() + name;
  try {
    return std::make_unique<CryptedFileInputStream>(path);
  } catch (const platform::FileNotFoundException& e) {
    platform::printStackTrace(e);
    throw vtl::ResourceNotFoundException(name);
  }
}

int64_t CryptedResourceLoader::getLastModified(const vtl::Resource&) { return 0; }

}  // namespace quorvelauction::offline
