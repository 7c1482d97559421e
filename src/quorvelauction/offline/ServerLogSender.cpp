#include "quorvelauction/offline/ServerLogSender.h"

#include <algorithm>
#include <string_view>

#include "platform/ObjectOutputStream.h"
#include "platform/Strings.h"
#include "quorvelauction/offline/OnlineCommunication.h"

namespace quorvelauction::offline {

namespace {

constexpr size_t kMax = Server::LogSender::kMaxFieldBytes;

// A character never takes fewer bytes in modified UTF-8 than in UTF-8, and
// at most three times as many (a stray byte becomes U+FFFD).
bool fits(const std::string& field) {
  if (field.size() > kMax) return false;
  return field.size() * 3 <= kMax || platform::ObjectOutputStream::modifiedUtf8(field).size() <= kMax;
}

// The longest head of text whose modified UTF-8 fits a field, never ending
// inside a character or a surrogate pair.
std::string headThatFits(const std::string& text) {
  if (fits(text)) return text;
  // No head longer than this many UTF-8 bytes can fit.
  size_t cut = std::min(text.size(), kMax + 1);
  for (int back = 0; back < 3 && cut > 0 && cut < text.size() &&
                     (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80;
       ++back) {
    --cut;
  }
  std::u16string units = platform::Strings::toUtf16(std::string_view(text).substr(0, cut));
  size_t bytes = 0, end = 0;
  for (; end < units.size(); ++end) {
    const size_t size = platform::ObjectOutputStream::modifiedUtf8Length(units[end]);
    if (bytes + size > kMax) break;
    bytes += size;
  }
  if (end > 0 && units[end - 1] >= 0xD800 && units[end - 1] <= 0xDBFF) --end;
  return platform::Strings::fromUtf16(std::u16string_view(units).substr(0, end));
}

}  // namespace

Server::LogSender& Server::LogSender::instance() {
  // Never destroyed: its thread may still run while the process ends.
  static LogSender* sender = new LogSender();
  return *sender;
}

size_t Server::LogSender::bytesOf(const Record& record) {
  return record.host.size() + record.sessionId.size() + record.type.size() + record.text.size();
}

bool Server::LogSender::post(Record record) {
  if (!fits(record.sessionId) || !fits(record.type)) return false;
  record.text = headThatFits(record.text);
  const size_t bytes = bytesOf(record);
  std::lock_guard<std::mutex> guard(mutex_);
  if (queue_.size() >= kCapacity || queuedBytes_ + bytes > kCapacityBytes) return false;
  queuedBytes_ += bytes;
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
    queuedBytes_ -= bytesOf(record);
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
