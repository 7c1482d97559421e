#include "xml/OutputBuffer.h"

#include <algorithm>

namespace xml::detail {

namespace {
constexpr size_t kMinStep = 16 * 1024;
}  // namespace

OutputBuffer::OutputBuffer(std::string& out) : out_(out), next_(out.data() + out.size()), end_(next_) {}

OutputBuffer::~OutputBuffer() { out_.resize(static_cast<size_t>(next_ - out_.data())); }

// Room within the string's capacity is made in steps of kMinStep; beyond it,
// the capacity doubles, which keeps the copying of a long text linear.
void OutputBuffer::grow(size_t n) {
  size_t used = static_cast<size_t>(next_ - out_.data());
  size_t size = used + std::max(n, kMinStep);
  if (size > out_.capacity()) size = std::max(size, out_.capacity() * 2);
  out_.resize(size);
  next_ = out_.data() + used;
  end_ = out_.data() + out_.size();
}

}  // namespace xml::detail
