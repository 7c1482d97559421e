#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace fuzz {

// The fuzz targets linked into one program, by name.
class Registry {
 public:
  using Target = std::function<void(std::string_view)>;
  static bool add(const std::string& name, Target target) {
    targets()[name] = std::move(target);
    return true;
  }
  static std::map<std::string, Target>& targets() {
    static std::map<std::string, Target> all;
    return all;
  }
};

}  // namespace fuzz
