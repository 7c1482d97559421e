#pragma once

#include <string>
#include <vector>

#include "vtl/ResourceLoader.h"

namespace vtl {

// Reads templates from files below the folders of its "path" setting
// (comma-separated, default "."), the first folder that has the file
// winning. A name is taken relative to the folder; a name that would lead
// out of it ("../x") is not found.
class FileResourceLoader : public ResourceLoader {
 public:
  static constexpr const char* kClassName = "org.apache.velocity.runtime.resource.loader.FileResourceLoader";

  bool isSourceModified(const Resource& resource) override;
  void init(const LoaderSettings& settings) override;
  platform::InputStreamPtr getResourceStream(const std::string& name) override;
  int64_t getLastModified(const Resource& resource) override;

 private:
  std::string find(const std::string& name) const;

  std::vector<std::string> paths_{"."};
};

}  // namespace vtl
