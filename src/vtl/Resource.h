#pragma once

#include <cstdint>
#include <string>

namespace vtl {

// What the engine knows of one loaded resource (a template or an included
// text); resource loaders are asked about it when it is held in the cache.
class Resource {
 public:
  Resource(std::string name, std::string encoding) : name_(std::move(name)), encoding_(std::move(encoding)) {}

  const std::string& getName() const { return name_; }
  const std::string& getEncoding() const { return encoding_; }
  int64_t getLastModified() const { return lastModified_; }
  void setLastModified(int64_t millis) { lastModified_ = millis; }

 private:
  std::string name_;
  std::string encoding_;
  int64_t lastModified_ = 0;
};

}  // namespace vtl
