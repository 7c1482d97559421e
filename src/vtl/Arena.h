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
    T* object = new (allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
    if constexpr (!std::is_trivially_destructible_v<T>) {
      destructors_.emplace_back(object, [](void* p) { static_cast<T*>(p)->~T(); });
    }
    return object;
  }

  // Copies items into the arena (T must be trivially destructible).
  template <class T>
  Span<T> copy(const std::vector<T>& items) {
    static_assert(std::is_trivially_destructible_v<T>);
    Span<T> span;
    if (items.empty()) return span;
    span.data = static_cast<T*>(allocate(sizeof(T) * items.size(), alignof(T)));
    span.count = static_cast<uint32_t>(items.size());
    for (size_t i = 0; i < items.size(); ++i) new (span.data + i) T(items[i]);
    return span;
  }

  // Sizes the first block for about bytes of nodes.
  void reserve(size_t bytes) {
    if (blocks_.empty()) {
      size_t size = std::min<size_t>(std::max(bytes, kBlockSize), 1 << 20);
      blocks_.emplace_back(new std::max_align_t[(size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
      capacity_ = size;
      used_ = 0;
      destructors_.reserve(64);
    }
  }

  void* allocate(size_t size, size_t align) {
    size_t start = (used_ + align - 1) & ~(align - 1);
    if (blocks_.empty() || start + size > capacity_) {
      capacity_ = size > kBlockSize ? size : kBlockSize;
      blocks_.emplace_back(
          new std::max_align_t[(capacity_ + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]);
      start = 0;
    }
    used_ = start + size;
    return reinterpret_cast<char*>(blocks_.back().get()) + start;
  }

 private:
  static constexpr size_t kBlockSize = 16 * 1024;
  std::vector<std::unique_ptr<std::max_align_t[]>> blocks_;
  size_t used_ = 0;
  size_t capacity_ = 0;
  std::vector<std::pair<void*, void (*)(void*)>> destructors_;
};

}  // namespace vtl
