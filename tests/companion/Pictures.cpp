#include "companion/Pictures.h"

#include <vips/vips.h>

#include <fstream>
#include <stdexcept>

namespace companiontest {

namespace {

void started() {
  // Without the operation cache a file rewritten by the companion is read afresh.
  static const bool ok = VIPS_INIT("test_companion") == 0 && (vips_cache_set_max(0), true);
  if (!ok) throw std::runtime_error("libvips does not start");
}

void check(int rc) {
  if (rc != 0) throw std::runtime_error(vips_error_buffer());
}

}  // namespace

void Pictures::make(const std::string& path, int width, int height, bool alpha, int bits) {
  started();
  VipsImage *x = nullptr, *mask = nullptr, *scaled = nullptr, *grey = nullptr, *bands = nullptr, *out = nullptr;
  check(vips_xyz(&x, width, height, nullptr));
  VipsImage* first = nullptr;
  check(vips_extract_band(x, &first, 0, nullptr));
  // 255 where x < width / 2, else 0; 65535 for 16 bits.
  check(vips_less_const1(first, &mask, width / 2.0, nullptr));
  const bool wide = bits == 16;
  check(vips_linear1(mask, &scaled, wide ? 257.0 : 1.0, 0.0, nullptr));
  check(wide ? vips_cast_ushort(scaled, &grey, nullptr) : vips_cast_uchar(scaled, &grey, nullptr));
  VipsImage* copies[4] = {grey, grey, grey, grey};
  check(vips_bandjoin(copies, &bands, alpha ? 4 : 3, nullptr));
  check(vips_copy(bands, &out, "interpretation", wide ? VIPS_INTERPRETATION_RGB16 : VIPS_INTERPRETATION_sRGB,
                  nullptr));
  check(vips_image_write_to_file(out, path.c_str(), nullptr));
  for (VipsImage* image : {x, first, mask, scaled, grey, bands, out}) g_object_unref(image);
}

std::pair<int, int> Pictures::size(const std::string& path) {
  started();
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (!image) {
    vips_error_clear();
    return {-1, -1};
  }
  std::pair<int, int> result{vips_image_get_width(image), vips_image_get_height(image)};
  g_object_unref(image);
  return result;
}

bool Pictures::isJpeg(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char magic[3] = {};
  in.read(reinterpret_cast<char*>(magic), 3);
  return magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF;
}

double Pictures::at(const std::string& path, int x, int y) {
  started();
  VipsImage* image = vips_image_new_from_file(path.c_str(), nullptr);
  if (!image) throw std::runtime_error(vips_error_buffer());
  double* values = nullptr;
  int n = 0;
  int rc = vips_getpoint(image, &values, &n, x, y, nullptr);
  g_object_unref(image);
  check(rc);
  double value = values[0];
  g_free(values);
  return value;
}

}  // namespace companiontest
