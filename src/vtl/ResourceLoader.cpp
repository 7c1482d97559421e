#include "vtl/ResourceLoader.h"

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace vtl {

void ResourceLoader::commonInit(const LoaderSettings& settings) {
  auto cache = settings.find("cache");
  cachingOn_ = cache != settings.end() &&
               platform::Strings::equalsIgnoreCase(platform::Strings::trim(cache->second), "true");
  auto interval = settings.find("modificationCheckInterval");
  if (interval != settings.end()) {
    try {
      modificationCheckInterval_ = platform::Integers::parseLong(platform::Strings::trim(interval->second));
    } catch (const platform::NumberFormatException&) {
      modificationCheckInterval_ = 2;
    }
  }
}

}  // namespace vtl
