#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vtl {

class Value;

// Where the variables of the templates rendered with one context live in
// it: for each template, the context's place of each of its variable
// numbers, found on first use. Kept with the context, so that rendering a
// template again looks no name up.
class SymbolCells {
 public:
  struct Table {
    uint64_t templateId = 0;
    uint32_t count = 0;
    std::unique_ptr<Value*[]> cells;  // null until first used
    int active = 0;                    // renderings of the template under way
  };

  // The template's table, in use until released.
  Table* acquire(uint64_t templateId, uint32_t symbolCount);
  void release(Table* table) { --table->active; }
  // Forgets every place (the context's values are gone).
  void clear() { tables_.clear(); }

 private:
  std::vector<std::unique_ptr<Table>> tables_;
};

}  // namespace vtl
