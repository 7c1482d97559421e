#pragma once

#include <optional>
#include <string>
#include <vector>

namespace companion {

// What the user picks. With QUORVELCOMPANION_FILES set (headless use and
// tests) the choice is read from it: the chosen paths one per line, or the
// word "cancel"; QUORVELCOMPANION_EDIT likewise answers the edit question
// ("replace", "turn90", "turn180", "turn270" or "cancel"). Otherwise zenity
// asks when a display is present; without one every choice is a cancel.
class Chooser {
 public:
  enum class Kind { Picture, Sound };

  // The chosen files; nothing when cancelled.
  static std::optional<std::vector<std::string>> files(Kind kind, bool several);
  // "replace", "turn90", "turn180", "turn270"; nothing when cancelled.
  static std::optional<std::string> edit();

 private:
  static std::optional<std::string> run(const std::vector<std::string>& args);
};

}  // namespace companion
