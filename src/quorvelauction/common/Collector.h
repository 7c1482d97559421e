#pragma once

#include <string>
#include <string_view>

#include "platform/ByteArrayOutputStream.h"

namespace quorvelauction::common {

// Builds the collector movie: a one-frame compressed SWF (version 6) whose
// first frame sets the movie variable "faData" to a text, so the front end
// can pick the text up from the movie.
class Collector {
 public:
  // SWF action records for the movie's DoAction block.
  class Actions {
   public:
    // ActionSetVariable.
    void setVariable();
    // ActionPush of one string, the text written as UTF-8.
    void push(std::string_view utf8);
    // A copy of all bytes appended so far.
    std::string getData() const { return data_.bytes(); }
    // ActionStringAdd.
    void add();

   private:
    friend class Collector;
    Actions() = default;
    platform::ByteArrayOutputStream data_;
  };

  // The whole movie file: the 8 plain header bytes, then the rest of the
  // movie as one zlib stream.
  static std::string getBytes(std::string_view text);

  Collector() = delete;

 private:
  // Chunks of at most this many UTF-16 code units are pushed one by one.
  static constexpr size_t kChunk = 10000;
};

}  // namespace quorvelauction::common
