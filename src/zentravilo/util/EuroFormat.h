#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <unicode/decimfmt.h>
#include <unicode/fieldpos.h>
#include <unicode/parsepos.h>

#include "zentravilo/util/Euro.h"

namespace zentravilo::util {

// Text format of money amounts in the pattern "0.00" with the number symbols
// of the process's locale as it was when the format was made. Positions count
// UTF-16 code units of the text (and of the buffer, when formatting). One
// object serves one thread at a time.
class EuroFormat {
 public:
  EuroFormat();

  std::string format(const Euro& value) const;
  // Appends the amount to buffer; a position for the integer (0) or fraction
  // (1) field gets that field's begin and end.
  std::string& format(const Euro& value, std::string& buffer, icu::FieldPosition& position) const;

  // Reads a number from the position's index and makes an amount of it as a
  // double. Nothing for an empty text (the position untouched) or when no
  // finite number can be read (the index stays, the error index is set).
  std::optional<Euro> parseObject(std::string_view text, icu::ParsePosition& position) const;
  // Reads from the start of text; PositionedParseException when nothing reads.
  Euro parseObject(std::string_view text) const;

 private:
  std::unique_ptr<icu::DecimalFormat> delegate_;
};

}  // namespace zentravilo::util
