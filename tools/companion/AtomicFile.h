#pragma once

#include <string>

namespace companion {

// Files that appear whole or not at all: everything is written under a
// temporary name beside the target and renamed over it at the end, so a
// reader never sees half a picture.
class AtomicFile {
 public:
  // A name in the target's folder that no other start uses, and that the
  // server's number rule never reads as a number.
  static std::string temporaryFor(const std::string& target);
  // Renames temporary over target; removes temporary and returns false on
  // failure.
  static bool commit(const std::string& temporary, const std::string& target);
  static bool writeText(const std::string& target, const std::string& text);
  static bool copy(const std::string& source, const std::string& target);
};

}  // namespace companion
