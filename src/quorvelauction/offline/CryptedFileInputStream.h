#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/InputStream.h"
#include "quorvelauction/offline/CryptHelper.h"

namespace quorvelauction::offline {

// Reads a file's plain content, unscrambling it when its path says it is
// stored scrambled. Reads smaller than a block are served from a block read
// ahead, so that small reads cost few system calls; the block is unscrambled
// while it is copied out. Opening a file that cannot be read fails with
// FileNotFoundException.
class CryptedFileInputStream : public platform::InputStream {
 public:
  explicit CryptedFileInputStream(const platform::File& file);
  explicit CryptedFileInputStream(const std::string& path);

  int read(char* buffer, int offset, int count) override;
  int read() override;
  void close() override;
  // The file itself while it is stored plain and nothing is read ahead.
  platform::FileInputStream* plainFile() override;

 private:
  // Reads the next block of the file, still as stored; false at the end.
  bool readAhead();

  platform::FileInputStream in_;
  CryptHelper crypt_;
  std::vector<char> ahead_;  // made on the first small read
  size_t position_ = 0;      // next unread byte of ahead_
  size_t limit_ = 0;         // end of the bytes read into ahead_
};

}  // namespace quorvelauction::offline
