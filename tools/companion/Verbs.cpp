#include "Verbs.h"

#include <spawn.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>

#include "AtomicFile.h"
#include "Chooser.h"
#include "Picture.h"

extern char** environ;

namespace companion {

namespace {

std::vector<std::string> fields(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t star; (star = text.find('*', start)) != std::string::npos; start = star + 1)
    out.push_back(text.substr(start, star - start));
  out.push_back(text.substr(start));
  return out;
}

// The server names some folders with "\": on Linux that is a separator too.
std::string path(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

std::optional<int> number(const std::string& text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string head(const std::string& file, size_t count) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes(count, '\0');
  in.read(bytes.data(), count);
  bytes.resize(in.gcount());
  return bytes;
}

bool endsWithNoCase(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), text.end() - tail.size(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

bool isMovie(const std::string& file) {
  std::string magic = head(file, 3);
  return endsWithNoCase(file, ".swf") && (magic == "FWS" || magic == "CWS" || magic == "ZWS");
}

// An ID3 tag or an MPEG audio frame header.
bool isMp3(const std::string& file) {
  std::string magic = head(file, 3);
  if (magic == "ID3") return true;
  return magic.size() >= 2 && static_cast<unsigned char>(magic[0]) == 0xFF &&
         (static_cast<unsigned char>(magic[1]) & 0xE0) == 0xE0;
}

// The type word of a picture's info file, or fallback.
std::string typeOf(const std::string& picture, const std::string& fallback) {
  std::ifstream in(picture + ".info");
  std::string line;
  if (std::getline(in, line)) {
    line.erase(0, line.find_first_not_of(" \t\r"));
    line.erase(line.find_last_not_of(" \t\r") + 1);
    if (!line.empty()) return line;
  }
  return fallback;
}

// The requested type, where the server sends "null" for none.
std::string requested(const std::string& type) {
  return type.empty() || type == "null" ? "Standard" : type;
}

bool writeInfo(const std::string& picture, const std::string& type, Picture::Size size) {
  return AtomicFile::writeText(picture + ".info", type + "\n" + std::to_string(size.width) + "\n" +
                                                      std::to_string(size.height) + "\n");
}

// The movie beside a picture: "5.jpg" gives "5.swf".
std::string movieFor(const std::string& picture) {
  return picture.substr(0, picture.size() - 4) + ".swf";
}

// The size of a movie's still: the Standard size of the bundled settings,
// since the companion is not told the domain's.
constexpr Picture::Size kStill{400, 300};

// A movie chosen for picture: the movie beside it, and the still that its
// upload sends along, with an info file as a picture selection writes one.
// No Flash renderer is at hand to draw a first frame, so the still is a
// plain picture. All or nothing: without the movie the still would pass
// for a chosen picture.
bool takeMovie(const std::string& movie, const std::string& picture, const std::string& type) {
  std::optional<Picture::Size> size = Picture::plain(picture, kStill.width, kStill.height);
  if (!size) return false;
  if (writeInfo(picture, type, *size)) {
    if (AtomicFile::copy(movie, movieFor(picture))) return true;
    std::remove((picture + ".info").c_str());
  }
  std::remove(picture.c_str());
  return false;
}

// The quarter turns of an edit answer; nothing for "replace".
std::optional<int> turnOf(const std::string& edit) {
  if (edit == "turn90") return 90;
  if (edit == "turn180") return 180;
  if (edit == "turn270") return 270;
  return std::nullopt;
}

}  // namespace

int Verbs::run(const std::string& request) {
  std::vector<std::string> f = fields(request);
  const std::string verb = f.front();
  f.erase(f.begin());
  if (verb == "image") return image(f);
  if (verb == "images") return images(f);
  if (verb == "changeImage") return changeImage(f);
  if (verb == "sound") return sound(f);
  if (verb == "scale") return scale(f);
  if (verb == "url") return url(f);
  std::fprintf(stderr, "unknown verb: %s\n", verb.c_str());
  return 1;
}

// 0*picture*type
int Verbs::image(const std::vector<std::string>& f) {
  if (f.size() != 3 || !endsWithNoCase(f[1], ".jpg")) return 1;
  const std::string picture = path(f[1]);
  auto chosen = Chooser::files(Chooser::Kind::Picture, false);
  if (!chosen) return 1;
  if (isMovie(chosen->front())) return takeMovie(chosen->front(), picture, requested(f[2])) ? 0 : 1;
  std::optional<Picture::Size> size = Picture::toJpeg(chosen->front(), picture);
  if (!size) return 1;
  return writeInfo(picture, requested(f[2]), *size) ? 0 : 1;
}

// 0*folder\*first*type: pictures first, first + 1, ... and images.txt with
// their count; unusable files are skipped without taking a number.
int Verbs::images(const std::vector<std::string>& f) {
  std::optional<int> first = f.size() == 4 ? number(f[2]) : std::nullopt;
  if (!first || *first <= 0) return 1;
  std::string folder = path(f[1]);
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  auto chosen = Chooser::files(Chooser::Kind::Picture, true);
  if (!chosen) return 1;
  auto name = [&](int id, const char* suffix) { return folder + "/" + std::to_string(id) + suffix; };
  if (isMovie(chosen->front())) return takeMovie(chosen->front(), name(*first, ".jpg"), requested(f[3])) ? 0 : 1;
  int count = 0;
  for (const std::string& file : *chosen) {
    if (count > INT_MAX - *first) break;
    const std::string picture = name(*first + count, ".jpg");
    std::optional<Picture::Size> size = isMovie(file) ? std::nullopt : Picture::toJpeg(file, picture);
    if (!size) continue;
    writeInfo(picture, requested(f[3]), *size);
    ++count;
  }
  if (count == 0) return 1;
  return AtomicFile::writeText(folder + "/images.txt", std::to_string(count) + "\n") ? 0 : 1;
}

// 0*picture*type: the picture replaced by another or turned, in place.
int Verbs::changeImage(const std::vector<std::string>& f) {
  if (f.size() != 3) return 1;
  const std::string picture = path(f[1]);
  if (!std::ifstream(picture)) return 1;
  std::optional<std::string> edit = Chooser::edit();
  if (!edit) return 1;
  std::optional<Picture::Size> size;
  if (*edit == "replace") {
    auto chosen = Chooser::files(Chooser::Kind::Picture, false);
    if (!chosen || isMovie(chosen->front())) return 1;
    size = Picture::toJpeg(chosen->front(), picture);
  } else {
    std::optional<int> turn = turnOf(*edit);
    if (!turn) return 1;
    size = Picture::turn(picture, *turn);
  }
  if (!size) return 1;
  const std::string type = f[2].empty() || f[2] == "null" ? typeOf(picture, "Standard") : f[2];
  return writeInfo(picture, type, *size) ? 0 : 1;
}

// 0*sound*type: an MP3 file copied to the sound's name.
int Verbs::sound(const std::vector<std::string>& f) {
  if (f.size() != 3) return 1;
  auto chosen = Chooser::files(Chooser::Kind::Sound, false);
  if (!chosen || !isMp3(chosen->front())) return 1;
  return AtomicFile::copy(chosen->front(), path(f[1])) ? 0 : 1;
}

// source*target*first*second*rotation: the source fitted into first by
// second, then turned; the server already swapped the sizes of a quarter
// turn, so the turned picture fits its box.
int Verbs::scale(const std::vector<std::string>& f) {
  if (f.size() != 5) return 1;
  std::optional<int> first = number(f[2]), second = number(f[3]), rotation = number(f[4]);
  if (!first || !second || !rotation) return 1;
  const std::string source = path(f[0]), target = path(f[1]);
  // Read before the target is written: target and source may be one file.
  const std::string type = typeOf(source, "Standard");
  std::optional<Picture::Size> size = Picture::scale(source, target, *first, *second, *rotation);
  if (!size) return 1;
  return writeInfo(target, type, *size) ? 0 : 1;
}

// address: opened in the browser; the companion does not wait for it.
int Verbs::url(const std::vector<std::string>& f) {
  if (f.size() != 1 || (f[0].rfind("http://", 0) != 0 && f[0].rfind("https://", 0) != 0)) return 1;
  const char* argv[] = {"xdg-open", f[0].c_str(), nullptr};
  pid_t pid;
  return posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) == 0 ? 0 : 1;
}

}  // namespace companion
