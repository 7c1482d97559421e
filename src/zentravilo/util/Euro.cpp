#include "zentravilo/util/Euro.h"

#include <memory>

#include <unicode/dcfmtsym.h>
#include <unicode/decimfmt.h>
#include <unicode/fmtable.h>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace zentravilo::util {

Decimal Euro::toTwoPlaces(const Decimal& value) {
  return value.setScale(2, Decimal::Rounding::kHalfDown);
}

Euro::Euro(const Decimal& value) : amount(toTwoPlaces(value)) {}

Euro::Euro(std::string_view text) : amount(toTwoPlaces(Decimal::parse(text))) {}

Euro::Euro(double value) : amount(toTwoPlaces(Decimal::fromDouble(value))) {}

Euro Euro::fromGermanFormat(std::string_view text) {
  Euro result;
  result.amount = toTwoPlaces(Decimal::parse(platform::Strings::replace(text, ",", ".")));
  return result;
}

Euro Euro::fromCent(const std::optional<std::string>& text) {
  Euro result;
  if (!text || text->empty()) {
    result.amount = Decimal().setScale(2, Decimal::Rounding::kDown);
  } else {
    result.amount = Decimal::parse(*text).movePointLeft(2).setScale(2, Decimal::Rounding::kDown);
  }
  return result;
}

Euro Euro::subtract(const Euro& other) const { return Euro(amount.subtract(other.amount)); }

Euro Euro::negate() const { return Euro(amount.negate()); }

Euro Euro::add(const Euro& other) const { return Euro(amount.add(other.amount)); }

std::string Euro::asCent() const { return amount.unscaledValue(); }

std::string Euro::asGermanString() const {
  UErrorCode status = U_ZERO_ERROR;
  icu::DecimalFormatSymbols symbols(icu::Locale::getDefault(), status);
  symbols.setSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol, u",");
  icu::DecimalFormat format(u"0.00", symbols, status);
  icu::Formattable value(amount.toPlainString(), status);
  icu::UnicodeString text;
  icu::FieldPosition position(icu::FieldPosition::DONT_CARE);
  format.format(value, text, position, status);
  if (U_FAILURE(status)) {
    throw platform::IllegalStateException(std::string("amount format: ") + u_errorName(status));
  }
  std::string out;
  return text.toUTF8String(out);
}

}  // namespace zentravilo::util
