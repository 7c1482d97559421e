#pragma once

#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileOutputStream.h"
#include "platform/OutputStream.h"
#include "quorvelauction/offline/CryptHelper.h"

namespace quorvelauction::offline {

// Writes a file from its first byte (created, or cut to length 0),
// scrambling it when its path says so. The caller's bytes are never changed.
// Unbuffered: put a buffered stream or writer around it. Opening fails with
// FileNotFoundException.
class CryptedFileOutputStream : public platform::OutputStream {
 public:
  explicit CryptedFileOutputStream(const platform::File& file);
  explicit CryptedFileOutputStream(const std::string& path);

  using platform::OutputStream::write;
  void write(const char* buffer, int offset, int count) override;
  void write(int value) override;
  void close() override;

 private:
  platform::FileOutputStream out_;
  CryptHelper crypt_;
  std::vector<char> scrambled_;  // reused between writes
};

}  // namespace quorvelauction::offline
