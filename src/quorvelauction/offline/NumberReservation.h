#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quorvelauction::offline {

// New image and sound numbers. A number is one more than the largest
// "<number><4-character suffix>" name of its folder and than every number
// still reserved there, so two commands running at once never share one:
// the number stays reserved while its reservation lives, which is while the
// command writes its files. An open reservation claims every number from its
// own upward (a multiple selection writes as many as the user picks); later
// reservations of that folder wait until it ends.
class NumberReservation {
 public:
  // The next number of the folder (path ending with its separator); nothing
  // when the largest number found is the largest 32-bit one, since the next
  // would wrap. Fails with IOException when the folder cannot be listed.
  static std::optional<NumberReservation> take(const std::string& folder, bool open = false);

  NumberReservation(NumberReservation&& other) noexcept;
  NumberReservation& operator=(NumberReservation&&) = delete;
  ~NumberReservation();

  int32_t id() const { return id_; }

  // The largest number among the folder's names, 0 when there is none.
  static int32_t highestInFolder(const std::string& folder);

 private:
  NumberReservation(std::string folder, int32_t id, bool open);

  std::string folder_;
  int32_t id_;
  bool open_;
  bool held_ = true;
};

}  // namespace quorvelauction::offline
