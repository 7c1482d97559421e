#include "quorvelauction/offline/ByteBudget.h"

namespace quorvelauction::offline {

ByteBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget_(other.budget_), bytes_(other.bytes_) {
  other.budget_ = nullptr;
}

ByteBudget::Reservation::~Reservation() {
  if (budget_) budget_->held_.fetch_sub(bytes_);
}

bool ByteBudget::Reservation::grow(int64_t bytes) {
  if (!budget_->take(bytes)) return false;
  bytes_ += bytes;
  return true;
}

std::optional<ByteBudget::Reservation> ByteBudget::reserve(int64_t bytes) {
  if (!take(bytes)) return std::nullopt;
  return Reservation(*this, bytes);
}

bool ByteBudget::take(int64_t bytes) {
  int64_t held = held_.load();
  // Taken only if nobody else took a part between the look and the change.
  do {
    if (bytes > total_.load() - held) return false;
  } while (!held_.compare_exchange_weak(held, held + bytes));
  return true;
}

}  // namespace quorvelauction::offline
