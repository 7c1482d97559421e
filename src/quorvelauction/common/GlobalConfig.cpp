#include "quorvelauction/common/GlobalConfig.h"

#include <array>

#include "platform/Exceptions.h"
#include "platform/System.h"

namespace quorvelauction::common {
namespace {

// The masks of cryptId, from a linear congruential generator with fixed
// constants (32-bit wrapping arithmetic, signed remainder, absolute value),
// five low bits cleared. Stored auction paths depend on them: never change
// a constant.
constexpr std::array<int32_t, 32> makeMasks() {
  std::array<int32_t, 32> masks{};
  int32_t state = 19790417;
  for (int32_t& mask : masks) {
    int32_t next = static_cast<int32_t>(static_cast<uint32_t>(state) * 1103515245u + 12345u);
    int32_t remainder = next % 2147483629;
    state = remainder < 0 ? -remainder : remainder;
    mask = state & ~31;
  }
  return masks;
}

constexpr std::array<int32_t, 32> kMasks = makeMasks();

}  // namespace

void GlobalConfig::load(const std::string& path, const std::string& userPath) {
  std::lock_guard<std::mutex> guard(lock_);
  path_ = path;
  userPath_ = userPath;
  globalConfig_ = platform::Properties();
  const std::string name = path + "WEB-INF/global.properties";
  try {
    platform::InputStreamPtr in = createFileInputStream(name);
    globalConfig_.load(*in);
    in->close();
  } catch (const platform::IOException&) {
    platform::System::out().println("can't read global.properties file " + name);
  }
}

std::optional<std::string> GlobalConfig::getProperty(const std::string& key) {
  return globalConfig_.getProperty(key);
}

std::string GlobalConfig::getPath() {
  std::lock_guard<std::mutex> guard(lock_);
  return path_;
}

std::string GlobalConfig::getUserPath() { return userPath_; }

void GlobalConfig::setFileStreamFactoryHelper(FileStreamFactory* factory) {
  std::lock_guard<std::mutex> guard(lock_);
  fileStreamFactory_ = factory;
}

void GlobalConfig::setImageHelper(ImageHelper* helper) {
  std::lock_guard<std::mutex> guard(lock_);
  imageHelper_ = helper;
}

FileStreamFactory& GlobalConfig::factory() {
  FileStreamFactory* factory = fileStreamFactory_.load();
  if (factory == nullptr) throw platform::IllegalStateException("no file stream factory installed");
  return *factory;
}

platform::InputStreamPtr GlobalConfig::createFileInputStream(const std::string& path) {
  return factory().createFileInputStream(path);
}

platform::InputStreamPtr GlobalConfig::createFileInputStream(const platform::File& file) {
  return factory().createFileInputStream(file);
}

platform::OutputStreamPtr GlobalConfig::createFileOutputStream(const std::string& path) {
  return factory().createFileOutputStream(path);
}

platform::OutputStreamPtr GlobalConfig::createFileOutputStream(const platform::File& file) {
  return factory().createFileOutputStream(file);
}

int32_t GlobalConfig::cryptId(int32_t n) { return n ^ kMasks[static_cast<uint32_t>(n) & 31]; }

}  // namespace quorvelauction::common
