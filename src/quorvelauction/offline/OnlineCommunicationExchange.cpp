#include "quorvelauction/offline/OnlineCommunicationExchange.h"

#include "quorvelauction/offline/ServiceTimeouts.h"

namespace quorvelauction::offline {

namespace {
const char kContentType[] = "application/x-java-serialized-object";
}  // namespace

OnlineCommunication::Exchange::Exchange(const std::string& host)
    : url_("http://" + host + "/app/communication"),
      body_(kSpoolThreshold),
      out_(body_) {}

platform::ObjectInputStream& OnlineCommunication::Exchange::reply(bool compressed) {
  out_.flush();
  // Read as it arrives: the downloads count their bytes while the reply runs.
  replySource_ = platform::HttpClient::post(url_, kContentType, body_, limits());
  platform::InputStream* source = replySource_.get();
  if (compressed) {
    inflater_ = std::make_unique<platform::InflaterInputStream>(*source, 512);
    source = inflater_.get();
  }
  in_ = std::make_unique<platform::ObjectInputStream>(*source);
  return *in_;
}

platform::HttpClient::Limits OnlineCommunication::Exchange::limits() {
  platform::HttpClient::Limits limits;
  limits.connect = ServiceTimeouts::connect();
  limits.silence = ServiceTimeouts::read();
  return limits;
}

}  // namespace quorvelauction::offline
