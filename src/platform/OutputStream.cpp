#include "platform/OutputStream.h"

#include <climits>

namespace platform {

void OutputStream::write(int value) {
  char byte = static_cast<char>(value & 0xFF);
  write(&byte, 0, 1);
}

void OutputStream::write(std::string_view bytes) {
  // Large views go in pieces so that the int count never overflows.
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    int chunk = left > static_cast<size_t>(INT_MAX / 2) ? INT_MAX / 2 : static_cast<int>(left);
    write(data, 0, chunk);
    data += chunk;
    left -= chunk;
  }
}

}  // namespace platform
