#include "vtl/MacroTable.h"

namespace vtl {

void MacroTable::add(std::shared_ptr<const Macro> macro) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string name = macro->name;
  macros_.emplace(std::move(name), std::move(macro));
}

std::shared_ptr<const Macro> MacroTable::find(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = macros_.find(name);
  return it == macros_.end() ? nullptr : it->second;
}

}  // namespace vtl
