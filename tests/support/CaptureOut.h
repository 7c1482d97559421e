#pragma once

#include <memory>
#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"

namespace testsupport {

// Everything printed on standard output while the object lives. The buffer
// outlives the object on purpose: a replaced stream stays reachable.
class CaptureOut {
 public:
  CaptureOut() : bytes_(new platform::ByteArrayOutputStream()) {
    platform::System::setOut(std::make_shared<platform::PrintStream>(*bytes_, true));
  }
  ~CaptureOut() {
    platform::System::setOut(
        std::make_shared<platform::PrintStream>(platform::FileOutputStream::forDescriptor(1), true));
  }
  std::string text() const { return bytes_->bytes(); }

 private:
  platform::ByteArrayOutputStream* bytes_;
};

}  // namespace testsupport
