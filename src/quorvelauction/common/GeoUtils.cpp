#include "quorvelauction/common/GeoUtils.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <string_view>
#include <system_error>

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/HttpClient.h"
#include "platform/Strings.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/ServiceSingeltons.h"
#include "quorvelauction/offline/ServiceTimeouts.h"

namespace quorvelauction::common {

namespace {

constexpr double kDegreesPerRadian = 57.29577951308232;
// The longest silence while the reply is read.
constexpr std::chrono::seconds kReadTimeout{60};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with an optional point, an optional exponent: a decimal
// number, not a name such as "NaN" or "Infinity", nor a hexadecimal form.
bool isDecimal(std::string_view text) {
  size_t at = 0, digits = 0;
  auto skipDigits = [&] {
    size_t from = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    return at - from;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  digits += skipDigits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    digits += skipDigits();
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (skipDigits() == 0) return false;
  }
  return at == text.size();
}

double parseDouble(const std::string& field) {
  size_t start = 0, end = field.size();
  while (start < end && static_cast<unsigned char>(field[start]) <= ' ') ++start;
  while (end > start && static_cast<unsigned char>(field[end - 1]) <= ' ') --end;
  std::string_view number = std::string_view(field).substr(start, end - start);
  double value = 0;
  if (isDecimal(number)) {
    if (number.front() == '+') number.remove_prefix(1);
    // Independent of the C locale's decimal point; a value beyond the range is no coordinate.
    auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc() && stop == number.data() + number.size()) return value;
  }
  throw platform::NumberFormatException("For input string: \"" + field + "\"");
}

size_t collect(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<std::string*>(target);
  if (body->size() + size * count > GeoUtils::kMaxReply) return 0;  // ends the transfer
  body->append(data, size * count);
  return size * count;
}

std::string fetch(const std::string& url) {
  platform::HttpClient::initLibrary();
  CURL* curl = curl_easy_init();
  if (!curl) throw platform::IOException("cannot start a geocoding request");
  std::string body;
  const auto connect = offline::ServiceTimeouts::connect();
  const auto read = std::min<std::chrono::milliseconds>(kReadTimeout, offline::ServiceTimeouts::read());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect.count()));
  // A transfer slower than one byte per second for the read time-out has stalled.
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                   std::max(1L, static_cast<long>((read.count() + 999) / 1000)));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  // The message names the failure, never the address: it carries the key.
  if (result == CURLE_WRITE_ERROR) throw platform::IOException("geocoding reply too large");
  if (result != CURLE_OK) throw platform::IOException(std::string("geocoding: ") + curl_easy_strerror(result));
  if (status >= 400) throw platform::IOException("Server returned HTTP response code: " + std::to_string(status));
  return body;
}

}  // namespace

std::optional<std::array<double, 2>> GeoUtils::getLatLngForAddress(const std::string& address) {
  const std::optional<std::string> host = GlobalConfig::getProperty("geocoding.host");
  const std::optional<std::string> key = GlobalConfig::getProperty("geocoding.key");
  if (!host || host->empty() || !key) return std::nullopt;
  try {
    return fromReply(fetch("http://" + *host + "/maps/geo?q=" + ServiceSingeltons::encodeURL(address, platform::Charset::iso88591()) +
                           "&output=csv&key=" + *key));
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return std::nullopt;
  }
}

std::optional<std::array<double, 2>> GeoUtils::fromReply(const std::string& body) {
  if (body.empty()) return std::nullopt;
  std::vector<std::string> fields = platform::Strings::split(body, ",");
  if (fields.size() < 4) return std::nullopt;
  std::array<double, 2> position{0.0, 0.0};
  try {
    position[0] = parseDouble(fields[2]);
    position[1] = parseDouble(fields[3]);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  return position;
}

double GeoUtils::earthOrthodrome(double latitude1, double longitude1, double latitude2,
                                 double longitude2) {
  const double lat1 = latitude1 / kDegreesPerRadian;
  const double lat2 = latitude2 / kDegreesPerRadian;
  const double deltaLng = (longitude2 - longitude1) / kDegreesPerRadian;
  const double c = std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(deltaLng);
  // Rounding can push c just past 1 for identical points, and acos would give NaN.
  return std::acos(std::clamp(c, -1.0, 1.0)) * earthRadius;
}

}  // namespace quorvelauction::common
