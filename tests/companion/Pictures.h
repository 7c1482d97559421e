#pragma once

#include <string>

namespace companiontest {

// Test pictures made and read back with libvips.
class Pictures {
 public:
  // A width by height picture, white on its left half and black on its
  // right, saved in the format of the name's suffix (.jpg, .png); alpha
  // adds a transparency band, opaque where white; bits is 8 or 16 per
  // sample (16 for PNG only).
  static void make(const std::string& path, int width, int height, bool alpha = false, int bits = 8);
  // Width and height; -1, -1 when the file is no readable picture.
  static std::pair<int, int> size(const std::string& path);
  // True when the file is a JPEG, by its content.
  static bool isJpeg(const std::string& path);
  // The brightness (first band) at x, y.
  static double at(const std::string& path, int x, int y);
};

}  // namespace companiontest
