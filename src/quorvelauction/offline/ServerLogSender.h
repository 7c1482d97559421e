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
// bounded by records and by bytes: a record that finds it full is dropped.
// Failures are dropped too.
class Server::LogSender {
 public:
  static constexpr size_t kCapacity = 256;
  static constexpr size_t kCapacityBytes = size_t{1} << 20;
  // The most a text field of a record can carry, in modified UTF-8.
  static constexpr size_t kMaxFieldBytes = 65535;

  struct Record {
    std::string host, sessionId, type, text;
  };

  // The process's one sender; its thread starts with the first record.
  static LogSender& instance();

  // Never blocks on the network; false when the record was dropped. A text
  // too long for its field is cut to the longest head that fits (the head
  // holds the message and the innermost frames); a record whose other fields
  // do not fit could never be sent and is dropped.
  bool post(Record record);
  // Waits until every record handed over so far has been sent or failed.
  void drain();

 private:
  LogSender() = default;
  void run();
  static size_t bytesOf(const Record& record);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Record> queue_;
  size_t queuedBytes_ = 0;
  bool sending_ = false;
  bool started_ = false;
};

}  // namespace quorvelauction::offline
