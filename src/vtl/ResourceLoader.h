#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/InputStream.h"
#include "vtl/Resource.h"

namespace vtl {

// The settings of one loader: the engine's settings that begin with
// "<loader name>.resource.loader.", with that prefix removed ("class",
// "cache", "path", ...).
using LoaderSettings = std::map<std::string, std::string>;

// Where the engine gets template text from. A loader is made by the engine
// from the class named in its settings, given its settings once (commonInit,
// then init) and then asked for the bytes of a resource by name whenever the
// engine needs them. Implementations may be called from several threads.
class ResourceLoader {
 public:
  virtual ~ResourceLoader() = default;

  // Whether a held resource changed since it was loaded.
  virtual bool isSourceModified(const Resource& resource) = 0;
  virtual void init(const LoaderSettings& settings) = 0;
  // The bytes of the named resource; fails with ResourceNotFoundException.
  virtual platform::InputStreamPtr getResourceStream(const std::string& name) = 0;
  virtual int64_t getLastModified(const Resource& resource) = 0;

  // Reads the settings every loader has: "cache" ("true" or "false", default
  // false) and "modificationCheckInterval" (seconds, default 2).
  void commonInit(const LoaderSettings& settings);
  bool isCachingOn() const { return cachingOn_; }
  int64_t getModificationCheckInterval() const { return modificationCheckInterval_; }

 private:
  bool cachingOn_ = false;
  int64_t modificationCheckInterval_ = 2;
};

using ResourceLoaderPtr = std::unique_ptr<ResourceLoader>;

}  // namespace vtl
