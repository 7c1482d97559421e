#pragma once

#include <concepts>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/PrintStream.h"

namespace quorvelauction::common {

// The print stream of the log file: every text printed as a line gets the
// current date and a blank in front ("Tue Dec 08 23:47:36 CET 2026 text");
// everything else passes through unchanged. No automatic flushing.
class DatePrintStream : public platform::PrintStream {
 public:
  explicit DatePrintStream(platform::OutputStreamPtr out) : PrintStream(std::move(out), false) {}
  explicit DatePrintStream(platform::OutputStream& out) : PrintStream(out, false) {}

  using PrintStream::println;
  void println(std::string_view text) override;
  // An empty line gets no date.
  void println();
  // An absent text prints as "null".
  void println(std::nullopt_t) { println(std::string_view("null")); }
  template <class T>
    requires std::same_as<std::remove_cvref_t<T>, std::optional<std::string>>
  void println(T&& text) {
    println(text ? std::string_view(*text) : std::string_view("null"));
  }
};

}  // namespace quorvelauction::common
