#include "quorvelauction/common/DatePrintStream.h"

#include "platform/Date.h"

namespace quorvelauction::common {

void DatePrintStream::println(std::string_view text) {
  std::string line = platform::Date::now().toString();
  line.reserve(line.size() + text.size() + 2);
  line.push_back(' ');
  line.append(text);
  line.push_back('\n');
  // One write under the lock: lines of different threads never mix.
  std::lock_guard<std::recursive_mutex> guard(lock());
  writeLocked(line);
}

void DatePrintStream::println() {
  std::lock_guard<std::recursive_mutex> guard(lock());
  writeLocked("\n");
}

}  // namespace quorvelauction::common
