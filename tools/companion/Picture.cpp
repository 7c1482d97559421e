#include "Picture.h"

#include <vips/vips.h>

#include "AtomicFile.h"

namespace companion {

namespace {

// Owns one reference of a libvips image.
class Image {
 public:
  Image() = default;
  explicit Image(VipsImage* image) : image_(image) {}
  ~Image() {
    if (image_) g_object_unref(image_);
  }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  Image& operator=(Image&& other) noexcept {
    std::swap(image_, other.image_);
    return *this;
  }
  VipsImage* get() const { return image_; }
  VipsImage** out() { return &image_; }
  explicit operator bool() const { return image_ != nullptr; }

 private:
  VipsImage* image_ = nullptr;
};

// Replaces image by the result of step, or returns false.
template <class Step>
bool apply(Image& image, Step step) {
  Image next;
  if (step(image.get(), next.out()) != 0) return false;
  image = std::move(next);
  return true;
}

// White on the image's own scale: 16-bit pictures count to 65535.
double whiteOf(VipsImage* image) {
  switch (vips_image_guess_interpretation(image)) {
    case VIPS_INTERPRETATION_RGB16:
    case VIPS_INTERPRETATION_GREY16:
      return 65535.0;
    default:
      return 255.0;
  }
}

bool toSrgb(Image& image) {
  if (vips_image_hasalpha(image.get())) {
    const double max = whiteOf(image.get());
    VipsArrayDouble* white = vips_array_double_newv(1, max);
    bool ok = apply(image, [&](VipsImage* in, VipsImage** out) {
      return vips_flatten(in, out, "background", white, "max_alpha", max, nullptr);
    });
    vips_area_unref(VIPS_AREA(white));
    if (!ok) return false;
  }
  return apply(image, [](VipsImage* in, VipsImage** out) {
    return vips_colourspace(in, out, VIPS_INTERPRETATION_sRGB, nullptr);
  });
}

bool turnBy(Image& image, int rotation) {
  VipsAngle angle;
  switch (((rotation % 360) + 360) % 360) {
    case 90: angle = VIPS_ANGLE_D90; break;
    case 180: angle = VIPS_ANGLE_D180; break;
    case 270: angle = VIPS_ANGLE_D270; break;
    default: return true;
  }
  return apply(image, [&](VipsImage* in, VipsImage** out) { return vips_rot(in, out, angle, nullptr); });
}

std::optional<Picture::Size> save(Image& image, const std::string& target) {
  if (!toSrgb(image)) return std::nullopt;
  const std::string temporary = AtomicFile::temporaryFor(target);
  if (vips_jpegsave(image.get(), temporary.c_str(), "Q", 88, "strip", TRUE, nullptr) != 0) {
    g_remove(temporary.c_str());
    return std::nullopt;
  }
  if (!AtomicFile::commit(temporary, target)) return std::nullopt;
  return Picture::Size{vips_image_get_width(image.get()), vips_image_get_height(image.get())};
}

// Loads fail on a picture that does not decode whole: a cut or damaged
// file would otherwise come out grey where its data ends. Lazy loads report
// it while the result is written, which then fails as well.
constexpr VipsFailOn kFailOn = VIPS_FAIL_ON_ERROR;

}  // namespace

bool Picture::start(const char* program) { return VIPS_INIT(program) == 0; }

void Picture::stop() { vips_shutdown(); }

std::optional<Picture::Size> Picture::toJpeg(const std::string& source, const std::string& target) {
  Image image(vips_image_new_from_file(source.c_str(), "fail_on", kFailOn, nullptr));
  if (!image) return std::nullopt;
  if (!apply(image, [](VipsImage* in, VipsImage** out) { return vips_autorot(in, out, nullptr); }))
    return std::nullopt;
  return save(image, target);
}

std::optional<Picture::Size> Picture::scale(const std::string& source, const std::string& target, int width,
                                            int height, int rotation) {
  if (width <= 0 || height <= 0) return std::nullopt;
  Image image;
  if (vips_thumbnail(source.c_str(), image.out(), width, "height", height, "size", VIPS_SIZE_BOTH, "fail_on",
                     kFailOn, nullptr) != 0)
    return std::nullopt;
  if (!turnBy(image, rotation)) return std::nullopt;
  return save(image, target);
}

std::optional<Picture::Size> Picture::plain(const std::string& target, int width, int height) {
  if (width <= 0 || height <= 0) return std::nullopt;
  Image image;
  if (vips_black(image.out(), width, height, "bands", 3, nullptr) != 0) return std::nullopt;
  if (!apply(image, [](VipsImage* in, VipsImage** out) {
        return vips_linear1(in, out, 1.0, 128.0, "uchar", TRUE, nullptr);
      }) ||
      !apply(image, [](VipsImage* in, VipsImage** out) {
        return vips_copy(in, out, "interpretation", VIPS_INTERPRETATION_sRGB, nullptr);
      }))
    return std::nullopt;
  return save(image, target);
}

std::optional<Picture::Size> Picture::turn(const std::string& path, int rotation) {
  // The whole picture is read before the file is replaced.
  Image image(vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_RANDOM, "fail_on", kFailOn, nullptr));
  if (!image) return std::nullopt;
  if (!apply(image, [](VipsImage* in, VipsImage** out) {
        *out = vips_image_copy_memory(in);
        return *out ? 0 : -1;
      }))
    return std::nullopt;
  if (!turnBy(image, rotation)) return std::nullopt;
  return save(image, path);
}

}  // namespace companion
