#pragma once

#include <optional>
#include <string>

namespace companion {

// The picture work, done with libvips. Every result is a baseline JPEG in
// sRGB, written under a temporary name and renamed into place; on failure
// the target is left as it was.
class Picture {
 public:
  struct Size {
    int width;
    int height;
  };

  // Starts libvips once per process; false when it cannot start.
  static bool start(const char* program);
  static void stop();

  // Any picture libvips reads (JPEG, PNG, GIF, TIFF, WebP, ...) as JPEG at
  // target, turned upright by its orientation tag; its size, or nothing
  // when source is no readable picture.
  static std::optional<Size> toJpeg(const std::string& source, const std::string& target);
  // source scaled to fit inside width by height, keeping its proportions,
  // then turned clockwise by rotation degrees (0, 90, 180 or 270).
  static std::optional<Size> scale(const std::string& source, const std::string& target, int width,
                                   int height, int rotation);
  // A plain grey width by height picture at target, where nothing can be
  // drawn from the chosen file (the still of a movie).
  static std::optional<Size> plain(const std::string& target, int width, int height);
  // The picture at path turned in place.
  static std::optional<Size> turn(const std::string& path, int rotation);
};

}  // namespace companion
