#include "quorvelauction/offline/CryptHelper.h"

#include <algorithm>
#include <cstring>

#include "platform/BufferedInputStream.h"
#include "platform/BufferedOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {
namespace {

using platform::Strings;

// The key table of the storage format. Stored installations depend on it:
// never change a value.
constexpr std::array<uint8_t, CryptHelper::kKeyLength> kCryptBytes = {
    0xd6, 0x8e, 0x4e, 0x7c, 0x79, 0x40, 0xb0, 0x26, 0x6b, 0x50, 0x49, 0x1c, 0xce, 0x5d,
    0x8c, 0xb8, 0x22, 0xa3, 0xf2, 0xaa, 0xb8, 0xb3, 0x2b, 0x74, 0x8c, 0xc6, 0x94, 0x0f,
    0x81, 0x8f, 0xd9, 0xfb, 0xa8, 0x11, 0x3f, 0xf5, 0x78, 0x1c, 0x57, 0x63, 0x7a, 0xe6,
    0x02, 0x64, 0x92, 0x63, 0x53, 0x6e, 0x48, 0x6a, 0x53, 0x94, 0x68, 0xf0, 0x09, 0x5a,
    0xcc, 0x61, 0x99, 0xff, 0x3a, 0xd0, 0x33, 0xed, 0x1e, 0x79, 0x45, 0xd9, 0x59, 0x1b};

// The key table repeated, so that a block starting at any key position finds
// its key bytes in one contiguous run.
constexpr size_t kRepeatedLength = CryptHelper::kKeyLength * 64;

struct RepeatedKey {
  std::array<uint8_t, kRepeatedLength> bytes{};
  constexpr RepeatedKey() {
    for (size_t i = 0; i < kRepeatedLength; ++i) bytes[i] = kCryptBytes[i % CryptHelper::kKeyLength];
  }
};
constexpr RepeatedKey kRepeated;

// Sixteen bytes at a time (one vector register on every common target). Each
// block lives in a register of its own: arrays of blocks end up on the stack.
using Block = uint8_t __attribute__((vector_size(16)));

Block load(const void* p) {
  Block b;
  std::memcpy(&b, p, sizeof b);
  return b;
}

void store(void* p, Block b) { std::memcpy(p, &b, sizeof b); }

void xorBlock(const char* in, char* out, const uint8_t* key, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    Block a0 = load(in + i) ^ load(key + i);
    Block a1 = load(in + i + 16) ^ load(key + i + 16);
    Block a2 = load(in + i + 32) ^ load(key + i + 32);
    Block a3 = load(in + i + 48) ^ load(key + i + 48);
    store(out + i, a0);
    store(out + i + 16, a1);
    store(out + i + 32, a2);
    store(out + i + 48, a3);
  }
  for (; i + 16 <= n; i += 16) store(out + i, load(in + i) ^ load(key + i));
  for (; i < n; ++i) out[i] = static_cast<char>(in[i] ^ key[i]);
}

std::vector<platform::File> entriesOf(const platform::File& folder) {
  auto listing = folder.listFiles();
  if (!listing) throw platform::IOException("cannot list folder " + folder.getPath());
  return std::move(*listing);
}

void scrambleInPlace(const platform::File& file) {
  const std::string path = file.getAbsolutePath();
  platform::System::out().println("crypting file " + path);
  const platform::File original(path + ".original");
  file.renameTo(original);
  platform::BufferedInputStream in(std::make_unique<platform::FileInputStream>(original));
  platform::BufferedOutputStream out(std::make_unique<CryptedFileOutputStream>(platform::File(path)), 8192);
  char buffer[8192];
  int n;
  while ((n = in.read(buffer, 0, sizeof buffer)) >= 0) out.write(buffer, 0, n);
  out.close();
  in.close();
  original.remove();
}

}  // namespace

CryptHelper::CryptHelper(const platform::File& file) : crypt_(needsCrypting(file)) {}

bool CryptHelper::needsCrypting(const platform::File& file) {
  if (platform::File(Server::programPath + "dont_crypt.txt").exists()) return false;
  const std::string path = file.getAbsolutePath();
  if (!Strings::contains(path, "htdocs")) return false;
  if (!Strings::contains(path, "app")) return true;
  return !(Strings::contains(path, "images") || Strings::contains(path, "sounds"));
}

int CryptHelper::crypt(int b) {
  if (!crypt_) return b;
  if (cryptIndex_ == kKeyLength) cryptIndex_ = 0;
  return b ^ kCryptBytes[cryptIndex_++];
}

void CryptHelper::crypt(const char* in, char* out, size_t count) {
  if (!crypt_ || count == 0) {
    if (in != out && count > 0) std::memmove(out, in, count);
    return;
  }
  size_t index = cryptIndex_ == kKeyLength ? 0 : static_cast<size_t>(cryptIndex_);
  while (count > 0) {
    size_t n = std::min(count, kRepeatedLength - index);
    xorBlock(in, out, kRepeated.bytes.data() + index, n);
    in += n;
    out += n;
    count -= n;
    index = (index + n) % kKeyLength;
  }
  // The position after the last byte used, as crypt(int) leaves it.
  cryptIndex_ = index == 0 ? kKeyLength : static_cast<int>(index);
}

void CryptHelper::main(const std::vector<std::string>& args) {
  if (args.empty()) throw platform::IllegalArgumentException("usage: crypthelper <folder>");
  cryptAll(entriesOf(platform::File(args[0])));
}

void CryptHelper::cryptAll(const std::vector<platform::File>& files) {
  for (const platform::File& file : files) {
    if (file.exists() && needsCrypting(file) && file.isFile()) scrambleInPlace(file);
    if (file.isDirectory()) cryptAll(entriesOf(file));
  }
}

}  // namespace quorvelauction::offline
