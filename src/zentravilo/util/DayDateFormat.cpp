#include "zentravilo/util/DayDateFormat.h"

#include "platform/Strings.h"

namespace zentravilo::util {

DayDateFormat::DayDateFormat() : delegate_(DayPattern::german()) {}

std::string DayDateFormat::format(const DayDate& value) const {
  std::string buffer;
  icu::FieldPosition position(0);
  return format(value, buffer, position);
}

std::string& DayDateFormat::format(const DayDate& value, std::string& buffer,
                                   icu::FieldPosition& position) const {
  const std::string text = value.asGermanFormat();
  delegate_.locate(text, static_cast<int32_t>(platform::Strings::utf16Length(buffer)),
                              position);
  buffer += text;
  return buffer;
}

std::optional<DayDate> DayDateFormat::parseObject(std::string_view text,
                                                  icu::ParsePosition& position) const {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  const int32_t start = position.getIndex();
  const auto fields = delegate_.read(unicode, position);
  if (!fields) return std::nullopt;
  std::optional<DayDate> day = DayDate::fromFields(*fields);
  if (!day) {
    // The calendar cannot place the date: fail where the date ended.
    position.setErrorIndex(position.getIndex());
    position.setIndex(start);
    return std::nullopt;
  }
  day->adjustSmaller100();
  return day;
}

std::optional<DayDate> DayDateFormat::parseObject(std::string_view text) const {
  if (platform::Strings::trim(text).empty()) return std::nullopt;
  icu::ParsePosition position(0);
  return parseObject(text, position);
}

}  // namespace zentravilo::util
