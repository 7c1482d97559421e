#include "platform/Charset.h"

#include <unicode/ucnv.h>
#include <unicode/utf8.h>

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

bool isAscii(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
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
  if ((kind_ == Kind::kUtf8 || kind_ == Kind::kLatin5) && isAscii(bytes)) return std::string(bytes);
  Decoder decoder(*this);
  std::string out;
  decoder.decode(bytes, true, out);
  return out;
}

std::string Charset::encode(std::string_view text) const {
  if (kind_ == Kind::kLatin1) return utf8ToLatin1(text);
  if ((kind_ == Kind::kUtf8 || kind_ == Kind::kLatin5) && isAscii(text)) return std::string(text);
  Encoder encoder(*this);
  std::string out;
  encoder.encode(text, true, out);
  return out;
}

struct Charset::Decoder::State : Pipe {
  using Pipe::Pipe;
};

Charset::Decoder::Decoder(Charset charset)
    : kind_(charset.kind()), state_(std::make_unique<State>(icuName(kind_), "UTF-8")) {}

Charset::Decoder::~Decoder() = default;

void Charset::Decoder::decode(std::string_view bytes, bool last, std::string& out) {
  state_->run(bytes, last, out);
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
