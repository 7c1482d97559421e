#pragma once

#include <mutex>

namespace quorvelauction::offline {

// One transfer at a time. The submission and the self-update each reset the
// two progress counters and fill them; two at once would spoil each other's
// figures. A second transfer is refused with BUSY instead of waiting: the
// front end's request would otherwise hang for the whole first transfer.
class TransferRun {
 public:
  TransferRun() = delete;

  static constexpr const char* BUSY = "error:transfer_running";

  // Owns the lock when no other transfer runs; otherwise owns nothing.
  static std::unique_lock<std::mutex> tryStart();
};

}  // namespace quorvelauction::offline
