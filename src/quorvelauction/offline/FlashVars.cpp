#include "quorvelauction/offline/FlashVars.h"

#include <optional>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace quorvelauction::offline {

namespace {

using platform::Strings;

std::optional<int32_t> numberOf(const std::string& text) {
  try {
    return platform::Integers::parseInt(text);
  } catch (const platform::NumberFormatException&) {
    return std::nullopt;
  }
}

std::string mapped(const std::string& value, const std::map<int32_t, int32_t>& pictures) {
  std::optional<int32_t> local = numberOf(value);
  if (!local) return value;
  auto found = pictures.find(*local);
  return found == pictures.end() ? value : std::to_string(found->second);
}

}  // namespace

std::string FlashVars::rewrite(const std::string& text, const std::map<int32_t, int32_t>& pictures) {
  std::string out;
  for (const std::string& part : Strings::split(text, "&")) {
    const std::vector<std::string> pieces = Strings::split(part, "=");
    if (pieces.empty() || pieces[0].empty()) continue;
    const std::string& key = pieces[0];
    std::string value = pieces.size() > 1 ? pieces[1] : std::string();
    if (Strings::startsWith(key, "pic") && !value.empty()) value = mapped(value, pictures);
    out.append("&").append(key).append("=").append(value);
  }
  return out;
}

}  // namespace quorvelauction::offline
