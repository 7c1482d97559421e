#include "quorvelauction/offline/NumberLock.h"

#include <map>
#include <mutex>

namespace quorvelauction::offline {

struct NumberLock::Entry {
  std::mutex mutex;
  int users = 0;  // holders and waiters; counted under the registry's lock
};

struct NumberLock::Registry {
  std::mutex mutex;
  std::map<int32_t, Entry> entries;  // nodes stay put while others come and go
};

NumberLock::Registry& NumberLock::registry() {
  static Registry* r = new Registry;  // outlives every thread's last release
  return *r;
}

NumberLock::NumberLock(int32_t number) : number_(number) {
  Registry& r = registry();
  {
    std::lock_guard<std::mutex> guard(r.mutex);
    entry_ = &r.entries[number];
    ++entry_->users;
  }
  entry_->mutex.lock();
}

NumberLock::~NumberLock() {
  entry_->mutex.unlock();
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  if (--entry_->users == 0) r.entries.erase(number_);
}

size_t NumberLock::inUse() {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.mutex);
  return r.entries.size();
}

}  // namespace quorvelauction::offline
