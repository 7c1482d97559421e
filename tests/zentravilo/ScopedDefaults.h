#pragma once

#include <memory>

#include <unicode/locid.h>
#include <unicode/timezone.h>

namespace zentravilo::util::testing {

// Sets the process's default time zone and locale for the life of the
// object and puts the previous ones back afterwards.
class ScopedDefaults {
 public:
  ScopedDefaults(const char* zoneId, const char* localeId)
      : zone_(icu::TimeZone::createDefault()), locale_(icu::Locale::getDefault()) {
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)));
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale(localeId), status);
  }
  ~ScopedDefaults() {
    icu::TimeZone::adoptDefault(zone_.release());
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(locale_, status);
  }
  ScopedDefaults(const ScopedDefaults&) = delete;
  ScopedDefaults& operator=(const ScopedDefaults&) = delete;

 private:
  std::unique_ptr<icu::TimeZone> zone_;
  icu::Locale locale_;
};

}  // namespace zentravilo::util::testing
