#include "zentravilo/util/Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Exceptions.h"

namespace zentravilo::util {

namespace {

// Amounts need a few digits of exponent; a huge one, even on zero, would
// have the digits or the scale spelled out at a later step.
constexpr int64_t kMaxExponent = 10000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void fail(std::string_view text) {
  constexpr size_t kShown = 64;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  throw platform::NumberFormatException("not a decimal number: \"" + shown + "\"");
}

std::string stripLeadingZeros(std::string digits) {
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  digits.erase(0, first);
  return digits;
}

// Compares magnitudes given as digits without leading zeros.
int compareMagnitudes(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

std::string addMagnitudes(const std::string& a, const std::string& b) {
  std::string sum;
  sum.reserve(std::max(a.size(), b.size()) + 1);
  int carry = 0;
  for (size_t i = 0; i < a.size() || i < b.size() || carry; ++i) {
    int digit = carry;
    if (i < a.size()) digit += a[a.size() - 1 - i] - '0';
    if (i < b.size()) digit += b[b.size() - 1 - i] - '0';
    sum.push_back(static_cast<char>('0' + digit % 10));
    carry = digit / 10;
  }
  std::reverse(sum.begin(), sum.end());
  return stripLeadingZeros(std::move(sum));
}

// a - b for a >= b.
std::string subtractMagnitudes(const std::string& a, const std::string& b) {
  std::string difference;
  difference.reserve(a.size());
  int borrow = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    int digit = (a[a.size() - 1 - i] - '0') - borrow;
    if (i < b.size()) digit -= b[b.size() - 1 - i] - '0';
    borrow = digit < 0 ? 1 : 0;
    difference.push_back(static_cast<char>('0' + digit + 10 * borrow));
  }
  std::reverse(difference.begin(), difference.end());
  return stripLeadingZeros(std::move(difference));
}

// Reads the exponent's digits; nothing when it leaves the 32-bit range.
bool readExponent(std::string_view digits, bool negative, int64_t& exponent) {
  int64_t value = 0;
  for (char c : digits) {
    if (!isDigit(c)) return false;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  exponent = negative ? -value : value;
  return exponent >= std::numeric_limits<int32_t>::min() &&
         exponent <= std::numeric_limits<int32_t>::max();
}

}  // namespace

Decimal::Decimal(bool negative, std::string digits, int64_t scale)
    : negative_(negative), digits_(stripLeadingZeros(std::move(digits))), scale_(scale) {
  if (isZero()) negative_ = false;
}

Decimal Decimal::parse(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;
  int64_t fractionDigits = 0;
  bool point = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
    if (text[i] == '.' && !point) {
      point = true;
    } else if (isDigit(text[i])) {
      digits.push_back(text[i]);
      if (point) ++fractionDigits;
    } else {
      fail(text);
    }
  }
  if (digits.empty()) fail(text);
  int64_t exponent = 0;
  if (i < text.size()) {
    std::string_view rest = text.substr(i + 1);
    bool negativeExponent = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
      negativeExponent = rest[0] == '-';
      rest.remove_prefix(1);
    }
    if (rest.empty() || !readExponent(rest, negativeExponent, exponent)) fail(text);
    if (exponent > kMaxExponent || exponent < -kMaxExponent) fail(text);
  }
  const int64_t scale = fractionDigits - exponent;
  if (scale < std::numeric_limits<int32_t>::min() || scale > std::numeric_limits<int32_t>::max()) {
    fail(text);
  }
  return Decimal(negative, std::move(digits), scale);
}

Decimal Decimal::fromDouble(double value) {
  if (!std::isfinite(value)) throw platform::NumberFormatException("Infinite or NaN");
  // A double's exact value has at most 1074 digits after the point.
  char buffer[1536];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1074);
  if (error != std::errc()) throw platform::NumberFormatException("double not convertible");
  return parse(std::string_view(buffer, end - buffer));
}

Decimal Decimal::negate() const { return Decimal(!negative_, digits_, scale_); }

Decimal Decimal::add(const Decimal& other) const {
  const int64_t scale = std::max(scale_, other.scale_);
  const Decimal a = setScale(scale, Rounding::kDown);
  const Decimal b = other.setScale(scale, Rounding::kDown);
  if (a.negative_ == b.negative_) {
    return Decimal(a.negative_, addMagnitudes(a.digits_, b.digits_), scale);
  }
  if (compareMagnitudes(a.digits_, b.digits_) >= 0) {
    return Decimal(a.negative_, subtractMagnitudes(a.digits_, b.digits_), scale);
  }
  return Decimal(b.negative_, subtractMagnitudes(b.digits_, a.digits_), scale);
}

Decimal Decimal::movePointLeft(int32_t n) const { return Decimal(negative_, digits_, scale_ + n); }

Decimal Decimal::setScale(int64_t newScale, Rounding rounding) const {
  if (isZero()) return Decimal(false, "0", newScale);
  if (newScale >= scale_) {
    return Decimal(negative_, digits_ + std::string(static_cast<size_t>(newScale - scale_), '0'),
                   newScale);
  }
  // Drop the last `dropped` digits; those past the magnitude's front are zeros.
  const uint64_t dropped = static_cast<uint64_t>(scale_ - newScale);
  const size_t length = digits_.size();
  std::string kept = dropped < length ? digits_.substr(0, length - dropped) : "0";
  bool up = false;
  if (rounding == Rounding::kHalfDown && dropped <= length) {
    const size_t first = length - dropped;
    const char lead = digits_[first];
    up = lead > '5' ||
         (lead == '5' && digits_.find_first_not_of('0', first + 1) != std::string::npos);
  }
  if (up) kept = addMagnitudes(kept, "1");
  return Decimal(negative_, std::move(kept), newScale);
}

std::string Decimal::unscaledValue() const { return negative_ ? "-" + digits_ : digits_; }

std::string Decimal::toPlainString() const {
  std::string text;
  if (scale_ <= 0) {
    text = isZero() ? "0" : digits_ + std::string(static_cast<size_t>(-scale_), '0');
  } else {
    const size_t scale = static_cast<size_t>(scale_);
    std::string padded = digits_;
    if (padded.size() <= scale) padded.insert(0, scale + 1 - padded.size(), '0');
    text = padded.substr(0, padded.size() - scale) + "." + padded.substr(padded.size() - scale);
  }
  return negative_ ? "-" + text : text;
}

}  // namespace zentravilo::util
