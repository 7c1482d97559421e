#pragma once

#include <memory>
#include <string>

#include "platform/HttpClient.h"
#include "platform/InflaterInputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/SpoolBuffer.h"
#include "quorvelauction/offline/OnlineCommunication.h"

namespace quorvelauction::offline {

// One request to the transfer servlet: the body is gathered until the reply
// is asked for, then goes out whole with its length; the reply is read as
// it arrives.
class OnlineCommunication::Exchange {
 public:
  explicit Exchange(const std::string& host);

  platform::ObjectOutputStream& request() { return out_; }
  // Flushes the request, posts it and opens the reply, inflated first when
  // compressed. Fails before any field is read when the header is wrong.
  platform::ObjectInputStream& reply(bool compressed = false);

  // The time-outs and the reply bound of every exchange.
  static platform::HttpClient::Limits limits();

 private:
  std::string url_;
  platform::SpoolBuffer body_;
  platform::ObjectOutputStream out_;
  platform::InputStreamPtr replySource_;
  std::unique_ptr<platform::InflaterInputStream> inflater_;
  std::unique_ptr<platform::ObjectInputStream> in_;
};

}  // namespace quorvelauction::offline
