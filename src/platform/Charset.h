#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

// A named character set: turns bytes into UTF-8 text and back. Known names,
// case-insensitive: "utf-8", "iso-8859-1", "iso-8859-9" and "UTF-16" (read
// with its byte-order mark, big-endian without one; written big-endian behind
// a mark). Malformed input reads as U+FFFD; a character the set cannot hold is
// written as "?". Values are cheap to copy and safe to share between threads.
class Charset {
 public:
  enum class Kind { kUtf8, kLatin1, kLatin5, kUtf16 };

  // Fails with UnsupportedEncodingException(name) for an unknown name.
  static Charset forName(std::string_view name);
  static Charset utf8() { return Charset(Kind::kUtf8); }
  static Charset iso88591() { return Charset(Kind::kLatin1); }

  Kind kind() const { return kind_; }
  // The canonical name ("UTF-8", "ISO-8859-1", "ISO-8859-9", "UTF-16").
  std::string name() const;

  // Whole-buffer conversions.
  std::string decode(std::string_view bytes) const;
  std::string encode(std::string_view text) const;

  // Streaming conversion of a byte sequence given in pieces: a character cut
  // between two pieces comes out whole with the later one.
  class Decoder {
   public:
    explicit Decoder(Charset charset);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    // Appends the text of bytes to out; with last, also what is pending
    // (an incomplete character at the end reads as U+FFFD).
    void decode(std::string_view bytes, bool last, std::string& out);

   private:
    struct State;
    Kind kind_;
    std::unique_ptr<State> state_;
  };

  // Streaming conversion of UTF-8 text given in pieces.
  class Encoder {
   public:
    explicit Encoder(Charset charset);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
    void encode(std::string_view text, bool last, std::string& out);

   private:
    struct State;
    Kind kind_;
    std::unique_ptr<State> state_;
    bool started_ = false;
  };

 private:
  explicit Charset(Kind kind) : kind_(kind) {}
  Kind kind_;
};

}  // namespace platform
