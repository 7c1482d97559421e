#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/Date.h"

using namespace platform;

namespace {

// Sets the process's time zone for one test.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    if (old) old_ = old;
    had_ = old != nullptr;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (had_) setenv("TZ", old_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

}  // namespace

TEST(Date, DefaultFormInTheLocalZone) {
  ZoneScope zone("Europe/Berlin");
  // 2026-12-08 22:47:36 UTC
  EXPECT_EQ(Date(1796770056000).toString(), "Tue Dec 08 23:47:36 CET 2026");
  // Summer time, a one-digit day, and an instant before 1970.
  EXPECT_EQ(Date(1783071296000).toString(), "Fri Jul 03 11:34:56 CEST 2026");
  EXPECT_EQ(Date(-1).toString(), "Thu Jan 01 00:59:59 CET 1970");
}
