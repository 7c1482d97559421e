#include "platform/Date.h"

#include <time.h>

#include <cstdio>

#include "platform/System.h"

namespace platform {

Date Date::now() { return Date(System::currentTimeMillis()); }

std::string Date::toString() const {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Floor division, so that instants before 1970 fall into the right second.
  time_t seconds = static_cast<time_t>(millis_ / 1000 - (millis_ % 1000 < 0 ? 1 : 0));
  struct tm local {};
  if (localtime_r(&seconds, &local) == nullptr) return "?";
  char text[96];
  std::snprintf(text, sizeof text, "%s %s %02d %02d:%02d:%02d %s %04d", kDays[local.tm_wday % 7],
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, local.tm_zone ? local.tm_zone : "GMT", local.tm_year + 1900);
  return text;
}

}  // namespace platform
