// The transfer servlet's reply reader: stream header, block-data records,
// reset marks, texts, integers and raw bytes, read to the end of the data.

#include "FuzzTarget.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/Exceptions.h"
#include "platform/ObjectInputStream.h"

QA_FUZZ_TARGET(BlockDataFuzz) {
  if (input.empty()) return;
  // The first byte chooses the order of the reads, the rest is the reply.
  const unsigned char plan = static_cast<unsigned char>(input[0]);
  platform::ByteArrayInputStream source{std::string(input.substr(1))};
  try {
    platform::ObjectInputStream in(source);
    char buffer[300];
    for (int step = 0;; ++step) {
      switch ((plan >> (2 * (step % 4))) & 3) {
        case 0: in.readUTF(); break;
        case 1: in.readInt(); break;
        case 2: in.readLong(); break;
        default:
          if (in.read(buffer, 0, sizeof buffer) < 0) return;
      }
    }
  } catch (const platform::Exception&) {
  }
}
