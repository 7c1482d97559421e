#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

#include "platform/Exceptions.h"

namespace platform {

namespace {

struct Exchange {
  const SpoolBuffer* body = nullptr;
  int64_t sent = 0;
  SpoolBuffer* reply = nullptr;
  int64_t maxReply = 0;
  bool tooLarge = false;
  std::string writeError;
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t lastUp = 0, lastDown = 0;
  std::chrono::milliseconds silence{0};
  bool silent = false;
};

size_t sendBody(char* buffer, size_t size, size_t count, void* user) {
  auto* x = static_cast<Exchange*>(user);
  size_t got = x->body->readAt(x->sent, buffer, size * count);
  x->sent += static_cast<int64_t>(got);
  return got;
}

size_t receiveBody(char* data, size_t size, size_t count, void* user) {
  auto* x = static_cast<Exchange*>(user);
  size_t n = size * count;
  if (x->reply->size() + static_cast<int64_t>(n) > x->maxReply) {
    x->tooLarge = true;
    return 0;
  }
  try {
    x->reply->write(data, 0, static_cast<int>(n));
  } catch (const std::exception& e) {
    x->writeError = e.what();
    return 0;
  }
  return n;
}

// Ends the exchange when neither direction has moved for the silence limit.
int watchSilence(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up) {
  auto* x = static_cast<Exchange*>(user);
  auto now = std::chrono::steady_clock::now();
  if (down != x->lastDown || up != x->lastUp) {
    x->lastDown = down;
    x->lastUp = up;
    x->lastActivity = now;
    return 0;
  }
  if (now - x->lastActivity > x->silence) {
    x->silent = true;
    return 1;
  }
  return 0;
}

void initOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

void HttpClient::post(const std::string& url, const std::string& contentType,
                      const SpoolBuffer& body, SpoolBuffer& reply, const Limits& limits) {
  initOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) throw IOException("cannot start an HTTP exchange");
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const std::string& h : {"Content-Type: " + contentType, std::string("Expect:")}) {
    headers.reset(curl_slist_append(headers.release(), h.c_str()));
  }
  Exchange x;
  x.body = &body;
  x.reply = &reply;
  x.maxReply = limits.maxReplyBytes;
  x.silence = limits.silence;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_POST, 1L);
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(c, CURLOPT_READFUNCTION, sendBody);
  curl_easy_setopt(c, CURLOPT_READDATA, &x);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, receiveBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &x);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connect.count()));
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, watchSilence);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &x);
  char error[CURL_ERROR_SIZE] = "";
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);

  CURLcode rc = curl_easy_perform(c);
  if (x.tooLarge) {
    throw IOException("reply larger than " + std::to_string(limits.maxReplyBytes) + " bytes: " + url);
  }
  if (x.silent) throw SocketException("Read timed out: " + url);
  if (!x.writeError.empty()) throw IOException(x.writeError);
  if (rc != CURLE_OK) {
    throw IOException(std::string(error[0] != '\0' ? error : curl_easy_strerror(rc)) + ": " + url);
  }
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  if (status >= 400) {
    throw IOException("Server returned HTTP response code: " + std::to_string(status) +
                      " for URL: " + url);
  }
}

}  // namespace platform
