#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "vtl/Macro.h"

namespace vtl {

// The macros known to one engine. As the template language defines it, a
// macro is registered while the template defining it is parsed and is then
// known to every template parsed later. The first definition of a name holds:
// a later one (also one of a template over the macro library) is ignored, so
// a macro once found stays valid for the table's life. Safe to use from
// several threads.
class MacroTable {
 public:
  void add(std::shared_ptr<const Macro> macro);
  std::shared_ptr<const Macro> find(std::string_view name) const;
  bool contains(std::string_view name) const { return find(name) != nullptr; }

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const Macro>, Hash, std::equal_to<>> macros_;
};

}  // namespace vtl
