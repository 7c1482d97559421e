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
  char buffer[8192];
  // A piece may end inside a character: keep reading until text comes out.
  while (!ended_ && out.size() == before) {
    int n = in_->read(buffer, 0, sizeof buffer);
    if (n < 0) {
      ended_ = true;
      decoder_.decode({}, true, out);
    } else {
      decoder_.decode(std::string_view(buffer, n), false, out);
    }
  }
  size_t added = out.size() - before;
  return added > 0 ? static_cast<int>(added) : -1;
}

void InputStreamReader::close() { in_->close(); }

}  // namespace platform
