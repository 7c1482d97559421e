#pragma once

#include <cstdint>
#include <string>

#include "platform/InputStream.h"

namespace platform {

// The primitive-data subset of the object-serialization stream reader. The
// constructor checks the stream header; reads then take bytes from the
// joined contents of consecutive block-data records, skipping reset marks.
// Any other record, or the end of the source, ends the data.
class ObjectInputStream : public InputStream {
 public:
  // Reads and checks the header of in, which must outlive this; fails with
  // StreamCorruptedException unless it is 0xACED, 5.
  explicit ObjectInputStream(InputStream& in);

  using InputStream::read;
  // -1 at the end of the data.
  int read(char* buffer, int offset, int count) override;
  int read() override;
  // A modified UTF-8 text, returned in UTF-8; EOFException at the end of the
  // data, UTFDataFormatException when malformed.
  std::string readUTF();
  int32_t readInt();
  int64_t readLong();
  void close() override { in_.close(); }

 private:
  // Makes bytes of the current record available; false at the end of data.
  bool refill();
  // The length of the next record, or -1 where the data ends.
  int64_t nextRecordLength();
  uint64_t readBigEndian(int bytes);

  InputStream& in_;
  int64_t unread_ = 0;  // bytes of the current record not yet taken
  bool ended_ = false;
};

}  // namespace platform
