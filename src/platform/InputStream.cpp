#include "platform/InputStream.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace platform {

int InputStream::read() {
  char byte;
  int n;
  do {
    n = read(&byte, 0, 1);
  } while (n == 0);
  return n < 0 ? -1 : static_cast<unsigned char>(byte);
}

int64_t InputStream::skip(int64_t n) {
  char buffer[8192];
  int64_t skipped = 0;
  while (skipped < n) {
    int chunk = static_cast<int>(std::min<int64_t>(sizeof buffer, n - skipped));
    int got = read(buffer, 0, chunk);
    if (got < 0) break;
    skipped += got;
  }
  return skipped;
}

std::string InputStream::readAll() {
  std::string out;
  char buffer[65536];
  for (;;) {
    int got = read(buffer, 0, sizeof buffer);
    if (got < 0) break;
    out.append(buffer, got);
  }
  return out;
}

void InputStream::readFully(char* buffer, int count) {
  int done = 0;
  while (done < count) {
    int got = read(buffer, done, count - done);
    if (got < 0) throw EOFException("unexpected end of stream");
    done += got;
  }
}

}  // namespace platform
