#include "platform/InflaterInputStream.h"

#include "platform/Exceptions.h"

namespace platform {

InflaterInputStream::InflaterInputStream(InputStream& in, int bufferSize)
    : in_(in), input_(bufferSize) {
  if (inflateInit(&zs_) != Z_OK) throw IOException("cannot start the inflater");
}

InflaterInputStream::~InflaterInputStream() { inflateEnd(&zs_); }

int InflaterInputStream::read(char* buffer, int offset, int count) {
  if (count <= 0) return 0;
  if (finished_) return -1;
  zs_.next_out = reinterpret_cast<Bytef*>(buffer + offset);
  zs_.avail_out = static_cast<uInt>(count);
  while (zs_.avail_out == static_cast<uInt>(count)) {
    if (zs_.avail_in == 0) {
      int got = in_.read(input_.data(), 0, static_cast<int>(input_.size()));
      if (got < 0) throw EOFException("Unexpected end of ZLIB input stream");
      zs_.next_in = reinterpret_cast<Bytef*>(input_.data());
      zs_.avail_in = static_cast<uInt>(got);
    }
    int rc = inflate(&zs_, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      finished_ = true;
      break;
    }
    if (rc == Z_NEED_DICT) throw IOException("a preset dictionary is not supported");
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      throw IOException(zs_.msg != nullptr ? zs_.msg : "invalid zlib data");
    }
  }
  int produced = count - static_cast<int>(zs_.avail_out);
  return produced == 0 && finished_ ? -1 : produced;
}

}  // namespace platform
