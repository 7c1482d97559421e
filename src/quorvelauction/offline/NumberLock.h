#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvelauction::offline {

// The lock of one number, held while the object lives: holders of the same number take
// turns, holders of different numbers never wait for each other. A number has a lock only
// while someone holds it or waits for it, so the locks do not pile up with the numbers used.
class NumberLock {
 public:
  explicit NumberLock(int32_t number);
  ~NumberLock();
  NumberLock(const NumberLock&) = delete;
  NumberLock& operator=(const NumberLock&) = delete;

  // How many numbers have a lock now.
  static size_t inUse();

 private:
  struct Entry;
  struct Registry;
  static Registry& registry();

  const int32_t number_;
  Entry* entry_;
};

}  // namespace quorvelauction::offline
