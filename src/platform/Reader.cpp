#include "platform/Reader.h"

namespace platform {

std::string Reader::readAll() {
  std::string out;
  while (read(out) >= 0) {
  }
  return out;
}

}  // namespace platform
