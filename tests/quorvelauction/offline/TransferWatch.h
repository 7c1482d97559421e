#pragma once

// Watches the transfer counters the way the front end does during a transfer: the command
// "offlineGetTransferStatus" on a connection of its own.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "platform/Properties.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"

namespace quorvelauction::offline {

// Bytes that do not compress: a compressed reply of them is as long as they are, so it can
// arrive in many pieces.
inline std::string incompressible(size_t count) {
  std::minstd_rand random(count);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() >> 7);
  return bytes;
}

class TransferWatch {
 public:
  // Watches for a sent count strictly between low and high.
  TransferWatch(Server& server, int64_t low, int64_t high) : server_(server), low_(low), high_(high) {}

  // For OnlineService::HttpReply::betweenPieces: the servlet holds back the rest of its reply
  // until a poll has shown such a count, or a generous wait has passed; that wait is made once,
  // later pieces pass at once.
  std::function<void()> hold() {
    return [this] {
      if (!waited_.exchange(true)) seen_ = pollUntilBetween();
    };
  }
  bool sawPartOfTheTransfer() const { return seen_; }

 private:
  bool pollUntilBetween() {
    Server::Handler own{server_, nullptr};
    platform::Properties props;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      const std::string status = own.evaluateFunction("offlineGetTransferStatus", props);
      const int64_t sent = std::stoll(status.substr(0, status.find(':')));
      if (sent > low_ && sent < high_) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  Server& server_;
  const int64_t low_, high_;
  std::atomic<bool> waited_{false};
  std::atomic<bool> seen_{false};
};

}  // namespace quorvelauction::offline
