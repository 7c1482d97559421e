#include "zentravilo/util/EuroFormat.h"

#include <cmath>

#include <unicode/dcfmtsym.h>
#include <unicode/fmtable.h>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "zentravilo/util/PositionedParseException.h"

namespace zentravilo::util {

namespace {

void check(UErrorCode status, const char* what) {
  if (U_FAILURE(status)) {
    throw platform::IllegalStateException(std::string(what) + ": " + u_errorName(status));
  }
}

}  // namespace

EuroFormat::EuroFormat() {
  UErrorCode status = U_ZERO_ERROR;
  auto symbols = std::make_unique<icu::DecimalFormatSymbols>(icu::Locale::getDefault(), status);
  check(status, "number symbols");
  delegate_ = std::make_unique<icu::DecimalFormat>(u"0.00", symbols.release(), status);
  check(status, "amount format");
}

std::string EuroFormat::format(const Euro& value) const {
  std::string buffer;
  icu::FieldPosition position(0);
  return format(value, buffer, position);
}

std::string& EuroFormat::format(const Euro& value, std::string& buffer,
                                icu::FieldPosition& position) const {
  UErrorCode status = U_ZERO_ERROR;
  icu::Formattable amount(value.getAmount().toPlainString(), status);
  icu::UnicodeString text;
  delegate_->format(amount, text, position, status);
  check(status, "amount format");
  // The delegate counted from the start of its own text.
  const int32_t offset = static_cast<int32_t>(platform::Strings::utf16Length(buffer));
  if (position.getEndIndex() > 0) {
    position.setBeginIndex(position.getBeginIndex() + offset);
    position.setEndIndex(position.getEndIndex() + offset);
  }
  text.toUTF8String(buffer);
  return buffer;
}

std::optional<Euro> EuroFormat::parseObject(std::string_view text,
                                            icu::ParsePosition& position) const {
  if (text.empty()) return std::nullopt;
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  const int32_t start = position.getIndex();
  if (start < 0 || start >= unicode.length()) {
    position.setErrorIndex(start);
    return std::nullopt;
  }
  icu::Formattable number;
  delegate_->parse(unicode, number, position);
  if (position.getIndex() == start) {
    if (position.getErrorIndex() < 0) position.setErrorIndex(start);
    return std::nullopt;
  }
  UErrorCode status = U_ZERO_ERROR;
  const double value = number.getDouble(status);
  if (U_FAILURE(status) || !std::isfinite(value)) {
    // Infinity, NaN or a number too large for a double is no amount.
    position.setIndex(start);
    position.setErrorIndex(start);
    return std::nullopt;
  }
  return Euro(value);
}

Euro EuroFormat::parseObject(std::string_view text) const {
  icu::ParsePosition position(0);
  std::optional<Euro> result = parseObject(text, position);
  if (!result) {
    throw PositionedParseException("Format.parseObject(String) failed",
                                   position.getErrorIndex() < 0 ? 0 : position.getErrorIndex());
  }
  return *result;
}

}  // namespace zentravilo::util
