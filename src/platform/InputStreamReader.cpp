#include "platform/InputStreamReader.h"

namespace platform {

InputStreamReader::InputStreamReader(InputStreamPtr in, Charset charset)
    : owned_(std::move(in)), in_(owned_.get()), decoder_(charset) {}

InputStreamReader::InputStreamReader(InputStream& in, Charset charset)
    : in_(&in), decoder_(charset) {}

InputStreamReader::InputStreamReader(InputStreamPtr in, std::string_view charsetName)
    : InputStreamReader(std::move(in), Charset::forName(charsetName)) {}

InputStreamReader::InputStreamReader(InputStream& in, std::string_view charsetName)
    : InputStreamReader(in, Charset::forName(charsetName)) {}

int InputStreamReader::read(std::string& out) {
  size_t before = out.size();
  if (!piece_ && !ended_) piece_ = std::make_unique_for_overwrite<char[]>(kPieceSize);
  // A piece may end inside a character: keep reading until text comes out.
  while (!ended_ && out.size() == before) {
    int n = in_->read(piece_.get(), 0, kPieceSize);
    if (n < 0) {
      ended_ = true;
      decoder_.decode({}, true, out);
    } else {
      decoder_.decode(std::string_view(piece_.get(), n), false, out);
    }
  }
  size_t added = out.size() - before;
  return added > 0 ? static_cast<int>(added) : -1;
}

void InputStreamReader::close() { in_->close(); }

}  // namespace platform
