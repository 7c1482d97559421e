#include "AtomicFile.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace companion {

std::string AtomicFile::temporaryFor(const std::string& target) {
  return target + "." + std::to_string(::getpid()) + ".part";
}

bool AtomicFile::commit(const std::string& temporary, const std::string& target) {
  if (std::rename(temporary.c_str(), target.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

bool AtomicFile::writeText(const std::string& target, const std::string& text) {
  const std::string temporary = temporaryFor(target);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  return commit(temporary, target);
}

bool AtomicFile::copy(const std::string& source, const std::string& target) {
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  const std::string temporary = temporaryFor(target);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    out.flush();
    if (!out || in.bad()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  return commit(temporary, target);
}

}  // namespace companion
