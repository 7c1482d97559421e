#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace quorvelauction::offline {

// The "flashVars" text of an auction's HTML variation: pairs "key=value"
// joined by "&", where the values of keys beginning with "pic" are picture
// numbers.
class FlashVars {
 public:
  FlashVars() = delete;

  // The text with every "pic" value that pictures holds replaced by its
  // paired number, in one pass over the original text, so a replaced value
  // is never looked up again. The result is written in the form the service
  // reads: each kept pair as "&" + key + "=" + value; parts without a key
  // are dropped, a third "=" piece and more too. A "pic" value that is no
  // number names no picture and stays as it is.
  static std::string rewrite(const std::string& text, const std::map<int32_t, int32_t>& pictures);
};

}  // namespace quorvelauction::offline
