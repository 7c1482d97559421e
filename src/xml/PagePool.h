#pragma once

#include <cstddef>

namespace xml::detail {

// The memory functions behind every pugixml tree. A large document takes
// tens of megabytes of node pages; fresh pages cost page faults on every
// parse, so freed pages are kept (up to kMaxCached bytes) for the next
// document. Other sizes go straight to malloc and free.
class PagePool {
 public:
  static constexpr size_t kMaxCached = size_t{64} << 20;

  // Installs the functions; idempotent and thread-safe. Must run before
  // pugixml allocates anything: DocumentData's constructor calls it.
  static void install();

 private:
  static void* allocate(size_t size);
  static void deallocate(void* pointer);
};

}  // namespace xml::detail
