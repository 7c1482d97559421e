#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/SpoolBuffer.h"

namespace platform {

// One HTTP POST over libcurl, the way the platform's URL connection makes
// it: the whole body with its length, no "Expect: 100-continue", no
// redirects followed, no proxy. A status of 400 or more fails like the
// platform's connection: with an IOException and no reply body.
class HttpClient {
 public:
  struct Limits {
    std::chrono::milliseconds connect{15000};
    // Longest silence of the peer while the exchange runs.
    std::chrono::milliseconds silence{300000};
    int64_t maxReplyBytes = int64_t{2} << 30;
  };

  // Posts body to url and collects the reply body into reply. Fails with an
  // IOException on a connection failure, a time-out, a reply larger than
  // the bound or an error status.
  static void post(const std::string& url, const std::string& contentType, const SpoolBuffer& body,
                   SpoolBuffer& reply, const Limits& limits);
};

}  // namespace platform
