#include "quorvelauction/offline/NumberReservation.h"

#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <set>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/Strings.h"

namespace quorvelauction::offline {

namespace {

struct Folder {
  std::set<int32_t> reserved;
  bool open = false;
};

// Every folder's reservations, under one lock.
struct Registry {
  std::mutex mutex;
  std::condition_variable released;
  std::map<std::string, Folder> folders;
};

Registry& registry() {
  static Registry* r = new Registry;  // outlives every thread's last release
  return *r;
}

}  // namespace

int32_t NumberReservation::highestInFolder(const std::string& folder) {
  auto names = platform::File(folder).list();
  if (!names) throw platform::IOException("cannot list " + folder);
  int32_t highest = 0;
  for (const std::string& name : *names) {
    // The suffix is four characters, not four bytes.
    std::u16string units = platform::Strings::toUtf16(name);
    if (units.size() < 5) continue;
    try {
      int32_t value = platform::Integers::parseInt(platform::Strings::fromUtf16(units.substr(0, units.size() - 4)));
      if (value > highest) highest = value;
    } catch (const platform::NumberFormatException&) {
    }
  }
  return highest;
}

std::optional<NumberReservation> NumberReservation::take(const std::string& folder, bool open) {
  Registry& r = registry();
  std::unique_lock<std::mutex> lock(r.mutex);
  r.released.wait(lock, [&] { return !r.folders[folder].open; });
  Folder& f = r.folders[folder];
  int32_t highest = highestInFolder(folder);
  if (!f.reserved.empty()) highest = std::max(highest, *f.reserved.rbegin());
  if (highest == std::numeric_limits<int32_t>::max()) return std::nullopt;
  int32_t id = highest + 1;
  f.reserved.insert(id);
  f.open = open;
  return NumberReservation(folder, id, open);
}

NumberReservation::NumberReservation(std::string folder, int32_t id, bool open)
    : folder_(std::move(folder)), id_(id), open_(open) {}

NumberReservation::NumberReservation(NumberReservation&& other) noexcept
    : folder_(std::move(other.folder_)), id_(other.id_), open_(other.open_), held_(other.held_) {
  other.held_ = false;
}

NumberReservation::~NumberReservation() {
  if (!held_) return;
  Registry& r = registry();
  {
    std::lock_guard<std::mutex> guard(r.mutex);
    auto it = r.folders.find(folder_);
    if (it != r.folders.end()) {
      it->second.reserved.erase(id_);
      if (open_) it->second.open = false;
      if (it->second.reserved.empty()) r.folders.erase(it);
    }
  }
  r.released.notify_all();
}

}  // namespace quorvelauction::offline
