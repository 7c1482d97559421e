#include "quorvelauction/offline/ByteBudget.h"

namespace quorvelauction::offline {

ByteBudget::Reservation::Reservation(Reservation&& other) noexcept
    : budget_(other.budget_), bytes_(other.bytes_) {
  other.budget_ = nullptr;
}

ByteBudget::Reservation::~Reservation() {
  if (budget_) budget_->held_.fetch_sub(bytes_);
}

std::optional<ByteBudget::Reservation> ByteBudget::reserve(int64_t bytes) {
  int64_t held = held_.load();
  // Taken only if nobody else took a part between the look and the change.
  do {
    if (bytes > total_.load() - held) return std::nullopt;
  } while (!held_.compare_exchange_weak(held, held + bytes));
  return Reservation(*this, bytes);
}

}  // namespace quorvelauction::offline
