#include "xml/PagePool.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include <pugixml.hpp>

namespace xml::detail {

namespace {

// Every block starts with its total size, so that deallocate knows it.
constexpr size_t kHeader = alignof(std::max_align_t) > sizeof(size_t) ? alignof(std::max_align_t) : sizeof(size_t);
// pugixml asks for pages of 32 KiB plus its page header; one size class
// holds them.
constexpr size_t kPageBlock = 40 * 1024;

// Never destroyed: pages stay reachable (and in use by late documents) until
// the process ends.
std::mutex& poolLock = *new std::mutex;
std::vector<char*>& freePages = *new std::vector<char*>;

}  // namespace

void PagePool::install() {
  static std::once_flag once;
  std::call_once(once, [] { pugi::set_memory_management_functions(allocate, deallocate); });
}

void* PagePool::allocate(size_t size) {
  bool page = size <= kPageBlock - kHeader;
  if (page) {
    std::lock_guard<std::mutex> guard(poolLock);
    if (!freePages.empty()) {
      char* block = freePages.back();
      freePages.pop_back();
      return block + kHeader;
    }
  }
  size_t total = page ? kPageBlock : size + kHeader;
  char* block = static_cast<char*>(std::malloc(total));
  if (!block) return nullptr;
  *reinterpret_cast<size_t*>(block) = total;
  return block + kHeader;
}

void PagePool::deallocate(void* pointer) {
  if (!pointer) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  if (*reinterpret_cast<size_t*>(block) == kPageBlock) {
    std::lock_guard<std::mutex> guard(poolLock);
    if (freePages.size() * kPageBlock < kMaxCached) {
      freePages.push_back(block);
      return;
    }
  }
  std::free(block);
}

}  // namespace xml::detail
