#include "platform/Charset.h"

#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <cstring>

#include "platform/Exceptions.h"
#include "platform/Strings.h"

namespace platform {
namespace {

const char* icuName(Charset::Kind kind) {
  switch (kind) {
    case Charset::Kind::kUtf8: return "UTF-8";
    case Charset::Kind::kLatin1: return "ISO-8859-1";
    case Charset::Kind::kLatin5: return "ISO-8859-9";
    case Charset::Kind::kUtf16: return "UTF-16";
  }
  return "UTF-8";
}

struct ConverterDeleter {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterDeleter>;

Converter open(const char* name) {
  UErrorCode err = U_ZERO_ERROR;
  Converter c(ucnv_open(name, &err));
  if (U_FAILURE(err)) throw UnsupportedEncodingException(name);
  err = U_ZERO_ERROR;
  // A character the set lacks is written as "?", as the platform does.
  ucnv_setSubstChars(c.get(), "?", 1, &err);
  return c;
}

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string utf8ToLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    out.push_back(c >= 0 && c < 0x100 ? static_cast<char>(c) : '?');
  }
  return out;
}

// Runs one step of a two-converter conversion; pivot keeps the UTF-16 that
// lies between the two converters from one step to the next.
struct Pipe {
  Converter source;
  Converter target;
  UChar pivot[1024];
  UChar* pivotSource = pivot;
  UChar* pivotTarget = pivot;

  Pipe(const char* from, const char* to) : source(open(from)), target(open(to)) {}

  void run(std::string_view in, bool last, std::string& out) {
    static const char kNothing = 0;
    const char* src = in.empty() ? &kNothing : in.data();
    const char* srcLimit = src + in.size();
    size_t room = in.size() * 3 + 16;
    for (;;) {
      size_t before = out.size();
      out.resize(before + room);
      char* begin = out.data() + before;
      char* t = begin;
      UErrorCode err = U_ZERO_ERROR;
      ucnv_convertEx(target.get(), source.get(), &t, begin + room, &src, srcLimit, pivot,
                     &pivotSource, &pivotTarget, pivot + 1024, false, last, &err);
      out.resize(before + (t - begin));
      if (err == U_BUFFER_OVERFLOW_ERROR) {
        room *= 2;
        continue;
      }
      if (U_FAILURE(err)) throw IOException(std::string("charset conversion failed: ") + u_errorName(err));
      return;
    }
  }
};

}  // namespace

namespace {

// The length of the longest prefix of bytes that ends on a character
// boundary: a trailing lead byte and its continuation bytes are cut off.
size_t completePrefix(std::string_view bytes) {
  size_t n = bytes.size();
  size_t back = 0;
  while (back < 3 && back < n && (static_cast<unsigned char>(bytes[n - 1 - back]) & 0xC0) == 0x80) ++back;
  if (back == n) return n;
  auto lead = static_cast<unsigned char>(bytes[n - 1 - back]);
  size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return back + 1 < need ? n - 1 - back : n;
}

bool isValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const uint8_t*>(bytes.data());
  int32_t length = static_cast<int32_t>(bytes.size());
  int32_t i = 0;
  while (i < length) {
    // ASCII 32 bytes a step (the four words tested at once), then 8.
    while (i + 32 <= length) {
      uint64_t words[4];
      std::memcpy(words, s + i, 32);
      if ((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080ull) break;
      i += 32;
    }
    while (i + 8 <= length) {
      uint64_t word;
      std::memcpy(&word, s + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= length) break;
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

}  // namespace

Charset Charset::forName(std::string_view name) {
  if (Strings::equalsIgnoreCase(name, "utf-8")) return Charset(Kind::kUtf8);
  if (Strings::equalsIgnoreCase(name, "iso-8859-1")) return Charset(Kind::kLatin1);
  if (Strings::equalsIgnoreCase(name, "iso-8859-9")) return Charset(Kind::kLatin5);
  if (Strings::equalsIgnoreCase(name, "utf-16")) return Charset(Kind::kUtf16);
  throw UnsupportedEncodingException(std::string(name));
}

std::string Charset::name() const { return icuName(kind_); }

std::string Charset::decode(std::string_view bytes) const {
  if (kind_ == Kind::kLatin1) return latin1ToUtf8(bytes);
  if ((kind_ == Kind::kUtf8 || kind_ == Kind::kLatin5) && Strings::isAscii(bytes)) return std::string(bytes);
  // Well-formed UTF-8 comes out of the converters as it went in.
  if (kind_ == Kind::kUtf8 && isValidUtf8(bytes)) return std::string(bytes);
  Decoder decoder(*this);
  std::string out;
  decoder.decode(bytes, true, out);
  return out;
}

std::string Charset::encode(std::string_view text) const {
  if (kind_ == Kind::kLatin1) return utf8ToLatin1(text);
  if ((kind_ == Kind::kUtf8 || kind_ == Kind::kLatin5) && Strings::isAscii(text)) return std::string(text);
  if (kind_ == Kind::kUtf8 && isValidUtf8(text)) return std::string(text);
  Encoder encoder(*this);
  std::string out;
  encoder.encode(text, true, out);
  return out;
}

// Valid UTF-8 passes through as it is; the converter takes over for good
// at the first malformed byte, so that its replacement rules apply.
struct Charset::Decoder::State : Pipe {
  using Pipe::Pipe;
  bool direct = true;
  std::string pending;  // the start of a character cut at the end of a piece
};

Charset::Decoder::Decoder(Charset charset)
    : kind_(charset.kind()), state_(std::make_unique<State>(icuName(kind_), "UTF-8")) {}

Charset::Decoder::~Decoder() = default;

void Charset::Decoder::decode(std::string_view bytes, bool last, std::string& out) {
  State& state = *state_;
  if (kind_ != Kind::kUtf8 || !state.direct) {
    state.run(bytes, last, out);
    return;
  }
  std::string joined;
  if (!state.pending.empty()) {
    joined = std::move(state.pending) + std::string(bytes);
    state.pending.clear();
    bytes = joined;
  }
  size_t complete = last ? bytes.size() : completePrefix(bytes);
  if (isValidUtf8(bytes.substr(0, complete))) {
    out.append(bytes.substr(0, complete));
    state.pending.assign(bytes.substr(complete));
    return;
  }
  state.direct = false;
  state.run(bytes, last, out);
}

struct Charset::Encoder::State : Pipe {
  using Pipe::Pipe;
};

Charset::Encoder::Encoder(Charset charset)
    : kind_(charset.kind()),
      // Big-endian behind one mark, as the platform writes UTF-16.
      state_(std::make_unique<State>("UTF-8", kind_ == Kind::kUtf16 ? "UTF-16BE" : icuName(kind_))) {}

Charset::Encoder::~Encoder() = default;

void Charset::Encoder::encode(std::string_view text, bool last, std::string& out) {
  if (kind_ == Kind::kUtf16 && !started_) {
    std::string first;
    state_->run(text, last, first);
    if (first.empty()) return;
    started_ = true;
    out += "\xFE\xFF";
    out += first;
    return;
  }
  state_->run(text, last, out);
}

}  // namespace platform
