#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <mutex>

#include "platform/Exceptions.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Reply bytes held for the reader before libcurl is paused.
constexpr size_t kHighWater = 64 * 1024;
// How long one wait for the socket lasts: the silence is judged between waits.
constexpr int kPollMs = 100;

// One POST, driven from the reader's side: a read runs the transfer only
// until reply bytes are there, so the reader sees each piece as it arrives
// and no more than a short buffer is held ahead of it.
class ReplyStream : public InputStream {
 public:
  ReplyStream(const std::string& url, const SpoolBuffer& body, const HttpClient::Limits& limits)
      : url_(url), body_(body), limits_(limits) {}
  ~ReplyStream() override { release(); }
  ReplyStream(const ReplyStream&) = delete;
  ReplyStream& operator=(const ReplyStream&) = delete;

  // Sends the request and waits for the first reply byte or the end.
  void start(const std::string& contentType);

  using InputStream::read;
  int read(char* buffer, int offset, int count) override;
  int available() override { return static_cast<int>(std::min<size_t>(held(), INT_MAX)); }
  void close() override { release(); }

 private:
  // libcurl calls these from its C frames: they never throw.
  static size_t sendBody(char* buffer, size_t size, size_t count, void* user);
  static size_t receiveBody(char* data, size_t size, size_t count, void* user);
  static size_t receiveHeader(char* data, size_t size, size_t count, void* user);

  size_t held() const { return pending_.size() - taken_; }
  // Runs the transfer until bytes are held or it has ended.
  void pump();
  void finish(CURLcode result);
  void fail(std::exception_ptr failure);
  // Throws what the transfer ended with, if it failed.
  void check() const;
  void release();

  std::string url_;
  const SpoolBuffer& body_;
  HttpClient::Limits limits_;
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* headers_ = nullptr;
  char error_[CURL_ERROR_SIZE] = "";
  int64_t sent_ = 0;
  int64_t received_ = 0;
  std::string pending_;
  size_t taken_ = 0;
  bool paused_ = false;
  bool ended_ = false;
  bool tooLarge_ = false;
  std::string callbackError_;
  std::exception_ptr failure_;
  Clock::time_point lastActivity_ = Clock::now();
};

size_t ReplyStream::sendBody(char* buffer, size_t size, size_t count, void* user) {
  auto* self = static_cast<ReplyStream*>(user);
  try {
    size_t got = self->body_.readAt(self->sent_, buffer, size * count);
    self->sent_ += static_cast<int64_t>(got);
    self->lastActivity_ = Clock::now();
    return got;
  } catch (const std::exception& e) {
    self->callbackError_ = e.what();
  } catch (...) {
    self->callbackError_ = "the request body cannot be read";
  }
  return CURL_READFUNC_ABORT;
}

size_t ReplyStream::receiveBody(char* data, size_t size, size_t count, void* user) {
  auto* self = static_cast<ReplyStream*>(user);
  size_t n = size * count;
  self->lastActivity_ = Clock::now();
  if (self->held() >= kHighWater) {
    // libcurl keeps these bytes and offers them again once unpaused.
    self->paused_ = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  if (self->received_ + static_cast<int64_t>(n) > self->limits_.maxReplyBytes) {
    self->tooLarge_ = true;
    return 0;
  }
  try {
    self->pending_.append(data, n);
  } catch (const std::exception& e) {
    self->callbackError_ = e.what();
    return 0;
  }
  self->received_ += static_cast<int64_t>(n);
  return n;
}

size_t ReplyStream::receiveHeader(char*, size_t size, size_t count, void* user) {
  static_cast<ReplyStream*>(user)->lastActivity_ = Clock::now();
  return size * count;
}

void ReplyStream::start(const std::string& contentType) {
  HttpClient::initLibrary();
  easy_ = curl_easy_init();
  multi_ = curl_multi_init();
  if (!easy_ || !multi_) throw IOException("cannot start an HTTP exchange");
  for (const std::string& h : {"Content-Type: " + contentType, std::string("Expect:")}) {
    curl_slist* list = curl_slist_append(headers_, h.c_str());
    if (!list) throw IOException("cannot start an HTTP exchange");
    headers_ = list;
  }
  CURL* c = easy_;
  curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_POST, 1L);
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
  curl_easy_setopt(c, CURLOPT_READFUNCTION, sendBody);
  curl_easy_setopt(c, CURLOPT_READDATA, this);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, receiveBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, receiveHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers_);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits_.connect.count()));
  // An error status ends the transfer before its body is handed over.
  curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_);
  if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) throw IOException("cannot start an HTTP exchange");
  pump();
  if (held() == 0) check();
}

int ReplyStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return 0;
  if (held() == 0) {
    pending_.clear();
    taken_ = 0;
    if (!ended_) pump();
    if (held() == 0) {
      check();
      return -1;
    }
  }
  size_t n = std::min(static_cast<size_t>(count), held());
  std::memcpy(buffer + offset, pending_.data() + taken_, n);
  taken_ += n;
  return static_cast<int>(n);
}

void ReplyStream::pump() {
  // The time the reader spent since the last read is not the peer's silence.
  lastActivity_ = Clock::now();
  if (paused_) {
    paused_ = false;
    // May hand the kept bytes to receiveBody at once.
    if (curl_easy_pause(easy_, CURLPAUSE_CONT) != CURLE_OK) {
      fail(std::make_exception_ptr(IOException("cannot resume the reply: " + url_)));
    }
  }
  while (held() == 0 && !ended_) {
    int running = 0;
    CURLMcode step = curl_multi_perform(multi_, &running);
    if (step != CURLM_OK) {
      fail(std::make_exception_ptr(IOException(std::string(curl_multi_strerror(step)) + ": " + url_)));
      break;
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE) finish(message->data.result);
    }
    if (held() > 0 || ended_) break;
    if (Clock::now() - lastActivity_ > limits_.silence) {
      fail(std::make_exception_ptr(SocketException("Read timed out: " + url_)));
      break;
    }
    curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
  }
}

void ReplyStream::finish(CURLcode result) {
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  if (tooLarge_) {
    fail(std::make_exception_ptr(
        IOException("reply larger than " + std::to_string(limits_.maxReplyBytes) + " bytes: " + url_)));
  } else if (!callbackError_.empty()) {
    fail(std::make_exception_ptr(IOException(callbackError_)));
  } else if (result == CURLE_HTTP_RETURNED_ERROR || (result == CURLE_OK && status >= 400)) {
    fail(std::make_exception_ptr(IOException("Server returned HTTP response code: " +
                                             std::to_string(status) + " for URL: " + url_)));
  } else if (result != CURLE_OK) {
    fail(std::make_exception_ptr(
        IOException(std::string(error_[0] != '\0' ? error_ : curl_easy_strerror(result)) + ": " + url_)));
  }
  ended_ = true;
}

void ReplyStream::fail(std::exception_ptr failure) {
  if (!failure_) failure_ = std::move(failure);
  ended_ = true;
}

void ReplyStream::check() const {
  if (failure_) std::rethrow_exception(failure_);
}

void ReplyStream::release() {
  if (multi_ && easy_) curl_multi_remove_handle(multi_, easy_);
  if (easy_) curl_easy_cleanup(easy_);
  if (multi_) curl_multi_cleanup(multi_);
  if (headers_) curl_slist_free_all(headers_);
  easy_ = nullptr;
  multi_ = nullptr;
  headers_ = nullptr;
  ended_ = true;
}

}  // namespace

void HttpClient::initLibrary() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

InputStreamPtr HttpClient::post(const std::string& url, const std::string& contentType,
                                const SpoolBuffer& body, const Limits& limits) {
  auto reply = std::make_unique<ReplyStream>(url, body, limits);
  reply->start(contentType);
  return reply;
}

}  // namespace platform
