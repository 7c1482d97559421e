#include "quorvelauction/offline/ServiceTimeouts.h"

#include <atomic>

namespace quorvelauction::offline {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kProbe{10'000};
constexpr milliseconds kConnect{15'000};
constexpr milliseconds kRead{300'000};

// Atomics: connection threads read them while a test may set them.
std::atomic<milliseconds::rep> probeMs{kProbe.count()};
std::atomic<milliseconds::rep> connectMs{kConnect.count()};
std::atomic<milliseconds::rep> readMs{kRead.count()};

}  // namespace

milliseconds ServiceTimeouts::probe() { return milliseconds(probeMs.load()); }
milliseconds ServiceTimeouts::connect() { return milliseconds(connectMs.load()); }
milliseconds ServiceTimeouts::read() { return milliseconds(readMs.load()); }

void ServiceTimeouts::set(milliseconds probe, milliseconds connect, milliseconds read) {
  probeMs.store(probe.count());
  connectMs.store(connect.count());
  readMs.store(read.count());
}

void ServiceTimeouts::reset() { set(kProbe, kConnect, kRead); }

}  // namespace quorvelauction::offline
