#pragma once

#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/ObjectOutputStream.h"

namespace testsupport {

// A transfer-servlet reply holding one text, as the service writes it.
inline std::string utfReply(const std::string& text) {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  out.writeUTF(text);
  out.flush();
  return sink.take();
}

// A reply body of the given field bytes, in records as the platform writes them.
inline std::string replyOf(const std::string& fields) {
  platform::ByteArrayOutputStream sink;
  platform::ObjectOutputStream out(sink);
  out.write(fields);
  out.flush();
  return sink.take();
}

}  // namespace testsupport
