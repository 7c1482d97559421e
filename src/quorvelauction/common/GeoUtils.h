#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

namespace quorvelauction::common {

// Latitude and longitude of a postal address from a geocoding web service, and the
// great-circle distance of two points. The service is named by two settings of
// "global.properties": "geocoding.host" (host, optionally ":" port) and "geocoding.key".
class GeoUtils {
 public:
  GeoUtils() = delete;

  static constexpr double earthRadius = 6371.0;
  // Replies larger than this count as failed lookups.
  static constexpr size_t kMaxReply = 1 << 20;

  // Latitude, then longitude, in degrees; absent when the service gave no usable answer,
  // could not be reached, or is not configured (then nothing is sent). Failures print
  // their trace on standard error and are never passed on; the key is never printed.
  static std::optional<std::array<double, 2>> getLatLngForAddress(const std::string& address);

  // What a reply body gives: absent for fewer than four fields; a field that is not a
  // number leaves what was read so far (0.0 for the rest) and prints a trace.
  static std::optional<std::array<double, 2>> fromReply(const std::string& body);

  // Kilometres along the great circle, by the spherical law of cosines.
  static double earthOrthodrome(double latitude1, double longitude1, double latitude2,
                                double longitude2);
};

}  // namespace quorvelauction::common
