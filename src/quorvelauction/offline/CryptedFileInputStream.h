#pragma once

#include <string>

#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/InputStream.h"
#include "quorvelauction/offline/CryptHelper.h"

namespace quorvelauction::offline {

// Reads a file's plain content, unscrambling it when its path says it is
// stored scrambled. Unbuffered: put a buffered stream or reader around it.
// Opening a file that cannot be read fails with FileNotFoundException.
class CryptedFileInputStream : public platform::InputStream {
 public:
  explicit CryptedFileInputStream(const platform::File& file);
  explicit CryptedFileInputStream(const std::string& path);

  int read(char* buffer, int offset, int count) override;
  int read() override;
  void close() override;

 private:
  platform::FileInputStream in_;
  CryptHelper crypt_;
};

}  // namespace quorvelauction::offline
