#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zentravilo::util {

// An exact decimal number of any size: a sign, the digits of the unscaled
// magnitude and a scale (how many of those digits stand right of the point).
// Immutable. Holds what money amounts need and no more.
class Decimal {
 public:
  enum class Rounding {
    kHalfDown,  // to the nearest; exactly halfway goes toward zero
    kDown,      // cut toward zero
  };

  // Zero with scale 0.
  Decimal() = default;

  // An optional sign, digits with at most one point and at least one digit,
  // and an optional exponent (e or E, optional sign, digits); nothing else.
  // Fails with NumberFormatException, also for an exponent that would make a
  // non-zero value longer than a million digits.
  static Decimal parse(std::string_view text);
  // Exactly the value the double holds; NumberFormatException for infinity
  // and NaN.
  static Decimal fromDouble(double value);

  int signum() const { return isZero() ? 0 : (negative_ ? -1 : 1); }
  int64_t scale() const { return scale_; }

  Decimal negate() const;
  // Exact; the scale of the result is the larger of the two.
  Decimal add(const Decimal& other) const;
  Decimal subtract(const Decimal& other) const { return add(other.negate()); }
  // The value divided by 10^n, exactly (the scale grows by n).
  Decimal movePointLeft(int32_t n) const;
  Decimal setScale(int64_t newScale, Rounding rounding) const;

  // The unscaled value: digits with a leading "-" when negative.
  std::string unscaledValue() const;
  // The value without exponent: "-12.50", "0.05", "1200".
  std::string toPlainString() const;

 private:
  Decimal(bool negative, std::string digits, int64_t scale);
  bool isZero() const { return digits_ == "0"; }

  bool negative_ = false;
  std::string digits_ = "0";  // no leading zeros
  int64_t scale_ = 0;
};

}  // namespace zentravilo::util
