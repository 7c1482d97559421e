#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace quorvelauction::offline {

// A number of bytes that many threads take parts of at once, never more in
// all than the total: the request bodies that the connections hold. A part
// is held while its reservation lives and given back when it goes, on every
// path out of the holder's scope.
class ByteBudget {
 public:
  class Reservation {
   public:
    Reservation(Reservation&& other) noexcept;
    Reservation& operator=(Reservation&&) = delete;
    ~Reservation();

    // Takes bytes more (not negative) into this part; false, and nothing
    // taken, when they do not fit beside the parts held now.
    bool grow(int64_t bytes);
    int64_t bytes() const { return bytes_; }

   private:
    friend class ByteBudget;
    Reservation(ByteBudget& budget, int64_t bytes) : budget_(&budget), bytes_(bytes) {}

    ByteBudget* budget_;
    int64_t bytes_;
  };

  explicit ByteBudget(int64_t total) : total_(total) {}
  ByteBudget(const ByteBudget&) = delete;
  ByteBudget& operator=(const ByteBudget&) = delete;

  // Holds bytes (not negative); nothing when they do not fit beside the
  // parts held now.
  std::optional<Reservation> reserve(int64_t bytes);

  int64_t total() const { return total_.load(); }
  // A new total for the reservations made from now on; those held stay.
  void setTotal(int64_t total) { total_.store(total); }
  int64_t held() const { return held_.load(); }

 private:
  // Adds bytes to what is held if they fit beside it.
  bool take(int64_t bytes);

  std::atomic<int64_t> total_;
  std::atomic<int64_t> held_{0};
};

}  // namespace quorvelauction::offline
