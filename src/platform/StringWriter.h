#pragma once

#include <string>

#include "platform/Writer.h"

namespace platform {

// Collects written text in memory.
class StringWriter : public Writer {
 public:
  void write(std::string_view text) override { text_.append(text); }

  const std::string& toString() const { return text_; }
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace platform
