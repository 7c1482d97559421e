#include "quorvelauction/offline/TransferRun.h"

namespace quorvelauction::offline {

namespace {
std::mutex running;
}  // namespace

std::unique_lock<std::mutex> TransferRun::tryStart() {
  return std::unique_lock<std::mutex>(running, std::try_to_lock);
}

}  // namespace quorvelauction::offline
