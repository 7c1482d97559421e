#include "quorvelauction/common/Collector.h"

#include <zlib.h>

#include <cstdint>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace quorvelauction::common {

namespace {

// Header, frame rectangle 550x400, 12 fps, one frame, white background and
// the long-form DoAction tag header; the two length fields are patched.
constexpr unsigned char kTemplate[32] = {
    0x43, 0x57, 0x53, 0x06, 0x00, 0x00, 0x00, 0x00, 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0,
    0x00, 0x00, 0x0C, 0x01, 0x00, 0x43, 0x02, 0xFF, 0xFF, 0xFF, 0x3F, 0x03, 0x00, 0x00, 0x00, 0x00};
// End of the action block, ShowFrame, End.
constexpr unsigned char kTrailer[5] = {0x00, 0x40, 0x00, 0x00, 0x00};

void putLittleEndian32(std::string& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string deflate(std::string_view plain) {
  uLongf size = compressBound(plain.size());
  std::string out(size, '\0');
  int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                     reinterpret_cast<const Bytef*>(plain.data()), plain.size(),
                     Z_DEFAULT_COMPRESSION);
  if (rc != Z_OK) throw platform::IOException("deflate failed: " + std::to_string(rc));
  out.resize(size);
  return out;
}

}  // namespace

void Collector::Actions::setVariable() { data_.write(0x1D); }

void Collector::Actions::add() { data_.write(0x21); }

void Collector::Actions::push(std::string_view utf8) {
  // The length field keeps only its low 16 bits; chunking keeps texts far
  // below that bound.
  uint32_t length = static_cast<uint32_t>(utf8.size() + 2);
  data_.write(0x96);
  data_.write(static_cast<int>(length & 0xFF));
  data_.write(static_cast<int>((length >> 8) & 0xFF));
  data_.write(0x00);
  data_.write(utf8);
  data_.write(0x00);
}

std::string Collector::getBytes(std::string_view text) {
  Actions actions;
  actions.push("System.security.allowDomain");
  actions.push("*");
  actions.setVariable();
  actions.push("faData");
  actions.push("");
  std::u16string units = platform::Strings::toUtf16(text);
  for (size_t start = 0; start < units.size();) {
    size_t count = std::min(units.size() - start, kChunk);
    // A chunk never ends between the two halves of a surrogate pair: each
    // half on its own would be written as "?" and the character lost.
    if (count == kChunk && count < units.size() - start && units[start + count - 1] >= 0xD800 &&
        units[start + count - 1] <= 0xDBFF)
      --count;
    actions.push(platform::Strings::fromUtf16(std::u16string_view(units).substr(start, count)));
    actions.add();
    start += count;
  }
  actions.setVariable();

  std::string movie(reinterpret_cast<const char*>(kTemplate), sizeof kTemplate);
  movie += actions.getData();
  movie.append(reinterpret_cast<const char*>(kTrailer), sizeof kTrailer);
  uint32_t actionBytes = static_cast<uint32_t>(movie.size() - sizeof kTemplate - sizeof kTrailer);
  putLittleEndian32(movie, 4, static_cast<uint32_t>(movie.size()));
  putLittleEndian32(movie, 28, actionBytes + 1);
  return movie.substr(0, 8) + deflate(std::string_view(movie).substr(8));
}

}  // namespace quorvelauction::common
