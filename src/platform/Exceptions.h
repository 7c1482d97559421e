#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace platform {

// Root of the failures the system raises. Each type knows the name it prints
// under, so that a printed trace says what kind of failure it was.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual const char* typeName() const { return "Exception"; }
  std::string message() const { return what(); }
};

#define PLATFORM_EXCEPTION(Name, Base)                                     \
  class Name : public Base {                                               \
   public:                                                                 \
    explicit Name(const std::string& message = "") : Base(message) {}      \
    const char* typeName() const override { return #Name; }                \
  }

PLATFORM_EXCEPTION(IOException, Exception);
PLATFORM_EXCEPTION(FileNotFoundException, IOException);
PLATFORM_EXCEPTION(EOFException, IOException);
PLATFORM_EXCEPTION(UnsupportedEncodingException, IOException);
PLATFORM_EXCEPTION(SocketException, IOException);
PLATFORM_EXCEPTION(StreamCorruptedException, IOException);
PLATFORM_EXCEPTION(UTFDataFormatException, IOException);
PLATFORM_EXCEPTION(RuntimeException, Exception);
PLATFORM_EXCEPTION(IllegalArgumentException, RuntimeException);
PLATFORM_EXCEPTION(NumberFormatException, IllegalArgumentException);
PLATFORM_EXCEPTION(IllegalStateException, RuntimeException);
PLATFORM_EXCEPTION(NullPointerException, RuntimeException);
PLATFORM_EXCEPTION(IndexOutOfBoundsException, RuntimeException);
PLATFORM_EXCEPTION(NoSuchElementException, RuntimeException);
PLATFORM_EXCEPTION(ConcurrentModificationException, RuntimeException);
PLATFORM_EXCEPTION(UnsupportedOperationException, RuntimeException);
PLATFORM_EXCEPTION(ParseException, Exception);
PLATFORM_EXCEPTION(DecoderException, Exception);
PLATFORM_EXCEPTION(EncoderException, Exception);

#undef PLATFORM_EXCEPTION

// "Type: message" of any exception, as a stack trace's first line reads.
std::string describe(const std::exception& e);

// Prints the one-line trace of e on the current standard error stream.
void printStackTrace(const std::exception& e);

}  // namespace platform
