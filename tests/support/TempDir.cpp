#include "support/TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/qa-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
  std::string full = path_ + name;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + full);
  return full;
}

std::string TempDir::read(const std::string& fullPath) {
  std::ifstream in(fullPath, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + fullPath);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string sourceDir() { return QA_SOURCE_DIR; }

std::string conformanceDir() {
  const char* override = getenv("QA_CONFORMANCE_DIR");
  return override && *override ? override : QA_CONFORMANCE_DIR;
}

}  // namespace testsupport
