#include "quorvelauction/offline/CryptedFileInputStream.h"

namespace quorvelauction::offline {

// The file is opened before the scrambler is built: a file that cannot be
// opened never gets one.
CryptedFileInputStream::CryptedFileInputStream(const platform::File& file) : in_(file), crypt_(file) {}

CryptedFileInputStream::CryptedFileInputStream(const std::string& path)
    : CryptedFileInputStream(platform::File(path)) {}

int CryptedFileInputStream::read(char* buffer, int offset, int count) {
  int n = in_.read(buffer, offset, count);
  if (n > 0) crypt_.crypt(buffer + offset, buffer + offset, static_cast<size_t>(n));
  return n;
}

int CryptedFileInputStream::read() {
  int b = in_.read();
  if (b < 0) return -1;
  return crypt_.crypt(b) & 0xFF;
}

void CryptedFileInputStream::close() { in_.close(); }

}  // namespace quorvelauction::offline
