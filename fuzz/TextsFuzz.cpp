// Day and money texts: amounts in both notations and cents, and days.

#include "FuzzTarget.h"
#include "platform/Exceptions.h"
#include "zentravilo/util/DayDateFormat.h"
#include "zentravilo/util/Euro.h"

QA_FUZZ_TARGET(TextsFuzz) {
  using zentravilo::util::Euro;
  const std::string text(input);
  try {
    Euro amount(text);
    Euro(amount.asCent());
    amount.asGermanString();
  } catch (const platform::NumberFormatException&) {
  }
  try {
    Euro::fromGermanFormat(text);
  } catch (const platform::NumberFormatException&) {
  }
  try {
    Euro::fromCent(text);
  } catch (const platform::NumberFormatException&) {
  }
  zentravilo::util::DayDateFormat days;
  if (auto day = days.parseObject(text)) days.format(*day);
}
