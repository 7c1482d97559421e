#pragma once

#include <string>
#include <vector>

namespace companion {

// The six verbs the server starts the companion with. Each takes the
// fields of the command after the verb (the text split at "*") and leaves
// behind what the server reads back; 0 when it did, 1 when the user
// cancelled or the arguments or files were unusable (nothing then written).
class Verbs {
 public:
  static int run(const std::string& request);

  static int image(const std::vector<std::string>& f);
  static int images(const std::vector<std::string>& f);
  static int changeImage(const std::vector<std::string>& f);
  static int sound(const std::vector<std::string>& f);
  static int scale(const std::vector<std::string>& f);
  static int url(const std::vector<std::string>& f);
};

}  // namespace companion
