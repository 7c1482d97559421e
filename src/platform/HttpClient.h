#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "platform/InputStream.h"
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

  // libcurl's process-wide set-up, made once; every user of libcurl calls it
  // before making a handle, since libcurl's own lazy set-up is not safe
  // between threads.
  static void initLibrary();

  // Posts body to url and returns the reply body as a stream that yields
  // its bytes as they arrive, so a reader sees a long reply progress. Fails
  // with an IOException on a connection failure, a time-out or an error
  // status met before the first reply byte; the stream's reads fail the
  // same way later on, and on a reply larger than the bound. body must
  // outlive the stream.
  static InputStreamPtr post(const std::string& url, const std::string& contentType,
                             const SpoolBuffer& body, const Limits& limits);
};

}  // namespace platform
