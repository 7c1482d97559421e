#include "platform/Provider.h"

#include <cstdio>

#include "platform/Strings.h"

namespace platform {

namespace {

// The version as the platform prints a double: "1.0", "2.5".
std::string versionText(double version) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.15g", version);
  std::string text = buffer;
  if (text.find_first_of(".eEn") == std::string::npos) text += ".0";
  return text;
}

}  // namespace

Provider::Provider(std::string name, double version, std::string info)
    : name_(std::move(name)), version_(version), info_(std::move(info)) {
  table_.emplace_back("Provider.id name", name_);
  table_.emplace_back("Provider.id version", versionText(version_));
  table_.emplace_back("Provider.id info", info_);
}

std::optional<std::string> Provider::put(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& entry : table_) {
    if (entry.first == key) return std::exchange(entry.second, value);
  }
  table_.emplace_back(key, value);
  return std::nullopt;
}

std::optional<std::string> Provider::getProperty(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : table_) {
    if (entry.first == key) return entry.second;
  }
  return std::nullopt;
}

std::vector<std::string> Provider::keys() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> result;
  for (const auto& entry : table_) result.push_back(entry.first);
  return result;
}

std::optional<std::string> Provider::getServiceClassName(const std::string& type,
                                                         const std::string& algorithm) const {
  const std::string prefix = type + ".";
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : table_) {
    const std::string& key = entry.first;
    if (key.size() > prefix.size() && Strings::startsWith(key, prefix) &&
        Strings::equalsIgnoreCase(std::string_view(key).substr(prefix.size()), algorithm)) {
      return entry.second;
    }
  }
  return std::nullopt;
}

}  // namespace platform
