#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace vtl {

// A view of a run of T kept in an Arena.
template <class T>
struct Span {
  T* data = nullptr;
  uint32_t count = 0;

  T* begin() const { return data; }
  T* end() const { return data + count; }
  uint32_t size() const { return count; }
  bool empty() const { return count == 0; }
  T& operator[](size_t i) const { return data[i]; }
};

// Bump allocation for the nodes of one parsed template: a template is made of
// hundreds of small nodes that live and die together, so they are carved out
// of a few large blocks and freed at once. Objects that need destruction are
// destroyed with the arena, in reverse order.
class Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena() {
    for (auto it = destructors_.rbegin(); it != destructors_.rend(); ++it) it->second(it->first);
  }

  template <class T, class... Args>
  T* make(Args&&... args) {
    void* place = allocate(sizeof(T), alignof(T));
    // Without arguments the object is default-initialized: nodes give every
    // member an initializer, and zero-filling them first costs as much as
    // the rest of the node's making.
    T* object;
    if constexpr (sizeof...(Args) == 0) {
      object = new (place) T;
    } else {
      object = new (place) T(std::forward<Args>(args)...);
    }
    if constexpr (!std::is_trivially_destructible_v<T>) {
      // The object is exactly a T, so no virtual destructor is needed.
      destructors_.emplace_back(object, [](void* p) { static_cast<T*>(p)->T::~T(); });
    }
    return object;
  }

  // Copies items into the arena (T must be trivially destructible).
  template <class T>
  Span<T> copy(const std::vector<T>& items) {
    return copy(items.data(), items.size());
  }

  // Copies the items of stack from index from on and drops them from it: a
  // parser collects the items of nested constructs on one stack, each above
  // those of the constructs around it.
  template <class T>
  Span<T> take(std::vector<T>& stack, size_t from) {
    Span<T> span = copy(stack.data() + from, stack.size() - from);
    stack.resize(from);
    return span;
  }

  template <class T>
  Span<T> copy(const T* items, size_t count) {
    static_assert(std::is_trivially_destructible_v<T>);
    Span<T> span;
    if (count == 0) return span;
    span.data = static_cast<T*>(allocate(sizeof(T) * count, alignof(T)));
    span.count = static_cast<uint32_t>(count);
    for (size_t i = 0; i < count; ++i) new (span.data + i) T(items[i]);
    return span;
  }

  // Sizes the first block for about bytes of nodes.
  void reserve(size_t bytes) {
    if (blocks_.empty()) {
      addBlock(std::min<size_t>(std::max(bytes, kBlockSize), 1 << 20));
      destructors_.reserve(64);
    }
  }

  // Parsing allocates for every node: the common case is a bump of used_.
  void* allocate(size_t size, size_t align) {
    size_t start = (used_ + align - 1) & ~(align - 1);
    if (start + size > capacity_ || !block_) {
      addBlock(size > kBlockSize ? size : kBlockSize);
      start = 0;
    }
    used_ = start + size;
    return block_ + start;
  }

 private:
  static constexpr size_t kBlockSize = 16 * 1024;

  // Out of line, so that allocate stays small enough to inline.
  void addBlock(size_t size);

  std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
  char* block_ = nullptr;  // the last block, where allocation goes on
  size_t used_ = 0;
  size_t capacity_ = 0;
  std::vector<std::pair<void*, void (*)(void*)>> destructors_;
};

}  // namespace vtl
