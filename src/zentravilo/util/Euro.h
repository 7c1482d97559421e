#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zentravilo/util/Decimal.h"

namespace zentravilo::util {

// A sum of euros: an exact decimal of any size with exactly two places.
// Values are brought to two places by rounding half-down (exactly halfway
// goes toward zero); only fromCent cuts. Immutable.
class Euro {
 public:
  explicit Euro(const Decimal& amount);
  // The decimal syntax of Decimal::parse; NumberFormatException otherwise.
  explicit Euro(std::string_view text);
  explicit Euro(const char* text) : Euro(std::string_view(text)) {}
  // The exact value the double holds, brought to two places.
  explicit Euro(double value);
  Euro(const Euro& other) = default;
  Euro& operator=(const Euro& other) = default;

  // A text with a decimal comma: every comma becomes a point, nothing else
  // changes; NumberFormatException when the result is no decimal number.
  static Euro fromGermanFormat(std::string_view text);
  // A text of cents, divided by 100 and cut to two places; an absent or
  // empty text is 0.00.
  static Euro fromCent(const std::optional<std::string>& text);

  std::string toString() const { return asGermanString(); }
  Euro subtract(const Euro& other) const;
  Euro negate() const;
  bool isZero() const { return amount.signum() == 0; }
  const Decimal& getAmount() const { return amount; }
  // "1234,50", "-0,05": no grouping, the locale's digits and minus sign.
  std::string asGermanString() const;
  // "1234", "-5", "0".
  std::string asCent() const;
  Euro add(const Euro& other) const;

 private:
  Euro() = default;
  static Decimal toTwoPlaces(const Decimal& value);

  Decimal amount;
};

}  // namespace zentravilo::util
