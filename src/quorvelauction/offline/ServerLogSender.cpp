#include "quorvelauction/offline/ServerLogSender.h"

#include "quorvelauction/offline/OnlineCommunication.h"

namespace quorvelauction::offline {

Server::LogSender& Server::LogSender::instance() {
  // Never destroyed: its thread may still run while the process ends.
  static LogSender* sender = new LogSender();
  return *sender;
}

bool Server::LogSender::post(Record record) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (queue_.size() >= kCapacity) return false;
  queue_.push_back(std::move(record));
  if (!started_) {
    started_ = true;
    std::thread([this] { run(); }).detach();
  }
  changed_.notify_all();
  return true;
}

void Server::LogSender::drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !sending_; });
}

void Server::LogSender::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty(); });
    Record record = std::move(queue_.front());
    queue_.pop_front();
    sending_ = true;
    lock.unlock();
    try {
      OnlineCommunication::log(record.host, record.sessionId, record.type, record.text);
    } catch (...) {
      // A remote log record that cannot be sent is given up silently.
    }
    lock.lock();
    sending_ = false;
    changed_.notify_all();
  }
}

}  // namespace quorvelauction::offline
