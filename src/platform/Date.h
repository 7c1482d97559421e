#pragma once

#include <cstdint>
#include <string>

namespace platform {

// An instant in milliseconds since 1970-01-01 00:00 UTC.
class Date {
 public:
  explicit Date(int64_t millis) : millis_(millis) {}
  // The current instant.
  static Date now();

  int64_t getTime() const { return millis_; }

  // The platform's default form in the local time zone, English names:
  // "Tue Dec 08 23:47:36 CET 2026".
  std::string toString() const;

 private:
  int64_t millis_;
};

}  // namespace platform
