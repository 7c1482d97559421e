#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"

namespace quorvelauction::offline {

// The scrambler of one open file stream. Whether a file is stored scrambled
// is decided once, from its absolute path, when the scrambler is built:
// below "htdocs" everything is scrambled except where the path contains
// "app" and also "images" or "sounds"; nothing is scrambled while
// Server::programPath + "dont_crypt.txt" exists. A scrambled file holds
// plain byte k XOR key[k mod 70]: same length, no header. Every byte of a
// file must pass exactly once, in file order, from the first byte.
class CryptHelper {
 public:
  explicit CryptHelper(const platform::File& file);

  // One byte (0..255, or a sign-extended byte) through the scrambler; only
  // the low 8 bits of the result count. Plain files pass unchanged.
  int crypt(int b);
  // The same, byte by byte in order, over a block: in and out may be the same.
  void crypt(const char* in, char* out, size_t count);
  // Whether the file is stored scrambled.
  bool scrambles() const { return crypt_; }

  // The developer tool: scrambles in place every plain file below the folder
  // args[0] that the path rule marks. Running it twice restores the tree.
  // Fails with an exception for a missing argument or a folder that cannot
  // be listed.
  static void main(const std::vector<std::string>& args);
  static void cryptAll(const std::vector<platform::File>& files);

  static constexpr int kKeyLength = 70;

 private:
  static bool needsCrypting(const platform::File& file);

  bool crypt_;
  int cryptIndex_ = 0;  // 0..70; wraps to 0 before use
};

}  // namespace quorvelauction::offline
