#include "vtl/Arena.h"

namespace vtl {

void Arena::addBlock(size_t size) {
  blocks_.emplace_back(new std::max_align_t[(size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
  block_ = reinterpret_cast<char*>(blocks_.back().get());
  capacity_ = size;
  used_ = 0;
}

}  // namespace vtl
