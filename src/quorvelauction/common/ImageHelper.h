#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace quorvelauction::common {

// Scales, turns and measures the user's pictures. Paths are relative to the
// user folder ("images/12.jpg").
class ImageHelper {
 public:
  virtual ~ImageHelper() = default;

  // rotation in degrees; flag and factor are for implementations that use them.
  virtual void scaleImage(const std::string& source, const std::string& target, int32_t width,
                          int32_t height, int32_t rotation, bool flag, float factor) = 0;
  virtual void scaleImage(const std::string& source, const std::string& target, int32_t width,
                          int32_t height, int32_t rotation, bool flag) = 0;
  virtual void overlayImage(const std::string& picture, const std::string& overlay, float factor) = 0;
  virtual void overlayImage(const std::string& picture, const std::string& overlay) = 0;
  // Width and height in pixels.
  virtual std::pair<int32_t, int32_t> getSize(const std::string& picture) = 0;
};

}  // namespace quorvelauction::common
