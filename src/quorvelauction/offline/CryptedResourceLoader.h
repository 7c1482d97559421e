#pragma once

#include <string>

#include "vtl/Engine.h"
#include "vtl/ResourceLoader.h"

namespace quorvelauction::offline {

// The template engine's loader of the installation's templates: a name is a
// path below the application folder (GlobalConfig::getPath), read through the
// unscrambling stream, so scrambled templates reach the engine as plain text.
// Holds no state; every request opens the file anew.
class CryptedResourceLoader : public vtl::ResourceLoader {
 public:
  // The class name the engine settings give for this loader.
  static constexpr const char* kClassName = "quorvelauction.offline.CryptedResourceLoader";
  // Makes the class known to an engine by that name (the process-wide one by
  // default), before the settings name it and the engine starts.
  static void registerClass(vtl::Engine& engine);
  static void registerClass();

  bool isSourceModified(const vtl::Resource& resource) override;
  void init(const vtl::LoaderSettings& settings) override;
  // Fails with ResourceNotFoundException(name) for the engine's macro
  // library "VM_global_library.vm" (silently), for a name that leads out of
  // the application folder, and for a file that cannot be opened (after
  // printing that failure's trace).
  platform::InputStreamPtr getResourceStream(const std::string& name) override;
  int64_t getLastModified(const vtl::Resource& resource) override;
};

}  // namespace quorvelauction::offline
