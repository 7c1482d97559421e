#include "vtl/SymbolCells.h"

#include <algorithm>

namespace vtl {

SymbolCells::Table* SymbolCells::acquire(uint64_t templateId, uint32_t symbolCount) {
  for (auto& table : tables_) {
    if (table->templateId == templateId) {
      ++table->active;
      return table.get();
    }
  }
  // Tables of templates no longer being rendered go once there are many
  // (a #parse in a loop parses a new template every time).
  if (tables_.size() >= 16) {
    std::erase_if(tables_, [](const std::unique_ptr<Table>& t) { return t->active == 0; });
  }
  auto table = std::make_unique<Table>();
  table->templateId = templateId;
  table->count = symbolCount;
  table->cells = std::make_unique<Value*[]>(symbolCount);  // all null
  table->active = 1;
  tables_.push_back(std::move(table));
  return tables_.back().get();
}

}  // namespace vtl
