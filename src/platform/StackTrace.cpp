#include "platform/StackTrace.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>

namespace platform {

namespace {

// "module(symbol+offset) [address]" becomes "name (module+offset)" when the
// symbol demangles; otherwise the text stays as the C library wrote it.
std::string readable(const std::string& frame) {
  size_t open = frame.find('(');
  size_t plus = frame.find('+', open);
  size_t close = frame.find(')', open);
  if (open == std::string::npos || plus == std::string::npos || close == std::string::npos ||
      plus == open + 1) {
    return frame;
  }
  std::string symbol = frame.substr(open + 1, plus - open - 1);
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status), std::free);
  std::string function = status == 0 && name ? name.get() : symbol;
  return function + " (" + frame.substr(0, open) + frame.substr(plus, close - plus) + ")";
}

}  // namespace

std::vector<std::string> StackTrace::current(int skip) {
  void* addresses[64];
  int count = backtrace(addresses, 64);
  std::vector<std::string> frames;
  std::unique_ptr<char*, void (*)(void*)> symbols(backtrace_symbols(addresses, count), std::free);
  if (!symbols) return frames;
  // Frame 0 is this function.
  for (int i = 1 + skip; i < count; ++i) frames.push_back(readable(symbols.get()[i]));
  return frames;
}

}  // namespace platform
