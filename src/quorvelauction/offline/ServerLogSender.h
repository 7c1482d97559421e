#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// Sends remote log records on one background thread, in the order they were
// handed over, so that no request waits on the online service. The queue is
// bounded: a record that finds it full is dropped. Failures are dropped too.
class Server::LogSender {
 public:
  static constexpr size_t kCapacity = 256;

  struct Record {
    std::string host, sessionId, type, text;
  };

  // The process's one sender; its thread starts with the first record.
  static LogSender& instance();

  // Never blocks on the network; false when the record was dropped.
  bool post(Record record);
  // Waits until every record handed over so far has been sent or failed.
  void drain();

 private:
  LogSender() = default;
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Record> queue_;
  bool sending_ = false;
  bool started_ = false;
};

}  // namespace quorvelauction::offline
