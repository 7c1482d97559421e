#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvelauction/common/ImageHelper.h"

namespace quorvelauction::offline {

// The image work of the local server: scaling and turning are done by the
// companion program ("scale" verb), sizes come from the image information
// file it writes beside each picture ("images/<name>.info": type word,
// width, height, one per line); overlays are not drawn.
class OfflineImageHelper : public common::ImageHelper {
 public:
  // The factor is not used.
  void scaleImage(const std::string& source, const std::string& target, int32_t width,
                  int32_t height, int32_t rotation, bool flag, float factor) override;
  // Source and target are relative to the user folder. Runs the companion
  // program and waits for its end; its outcome is not looked at.
  void scaleImage(const std::string& source, const std::string& target, int32_t width,
                  int32_t height, int32_t rotation, bool flag) override;
  void overlayImage(const std::string& image, const std::string& overlay, float factor) override;
  void overlayImage(const std::string& image, const std::string& overlay) override;
  // Width and height from the picture's information file; 400 by 300 when
  // there is none.
  std::pair<int32_t, int32_t> getSize(const std::string& name) override;

  // "swf", the type word of the image's information file, or "Standard".
  static std::string getType(int32_t id);

  // The companion command for a scale: program, then "scale*" and the
  // '*'-separated source, target, sizes and rotation.
  static std::string scaleCommand(const std::string& source, const std::string& target,
                                  int32_t width, int32_t height, int32_t rotation);
  // Starts the command, split into words at white space, and waits for it.
  static void runAndWait(const std::string& command);
};

}  // namespace quorvelauction::offline
