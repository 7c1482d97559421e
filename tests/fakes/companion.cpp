// Stand-in for the companion program in tests. It appends the command line
// it was started with to the file named by QA_COMPANION_LOG (one line per
// start) and leaves behind what its verb promises:
//   scale*src*target*w*h*rotation  target (a note of the scale) and target.info
//   image*0*path*type              path and path.info (QA_COMPANION_CHOICE:
//                                  "cancel" writes nothing, "swf" a movie)
//   images*0*folder\*first*type    QA_COMPANION_COUNT pictures (default 2)
//                                  from first on, their .info files and images.txt
//   changeImage*0*path*type        path rewritten with a later change time
//   sound*0*path*type              path
//   url*address                    nothing
// Backslashes in paths are read as "/".

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fields(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t star; (star = text.find('*', start)) != std::string::npos; start = star + 1)
    out.push_back(text.substr(start, star - start));
  out.push_back(text.substr(start));
  return out;
}

std::string slashes(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

void write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

void info(const std::string& picture, const std::string& type, int width, int height) {
  write(picture + ".info", type + "\n" + std::to_string(width) + "\n" + std::to_string(height) + "\n");
}

std::string env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// path without ".jpg", for the movie beside a picture.
std::string stem(const std::string& path) {
  return path.size() > 4 ? path.substr(0, path.size() - 4) : path;
}

}  // namespace

int main(int argc, char** argv) {
  std::string line = argv[0];
  std::string request;
  for (int i = 1; i < argc; ++i) {
    line += std::string(" ") + argv[i];
    request += (i > 1 ? " " : "") + std::string(argv[i]);
  }
  if (const char* log = std::getenv("QA_COMPANION_LOG")) std::ofstream(log, std::ios::app) << line << "\n";

  std::vector<std::string> f = fields(request);
  const std::string& verb = f[0];
  std::string choice = env("QA_COMPANION_CHOICE", "picture");
  if (verb == "scale" && f.size() == 6) {
    std::string target = slashes(f[2]);
    write(target, "scaled " + f[1] + " to " + f[3] + "x" + f[4] + " turned " + f[5] + "\n");
    info(target, "Standard", std::atoi(f[3].c_str()), std::atoi(f[4].c_str()));
  } else if (verb == "image" && f.size() == 4 && choice != "cancel") {
    std::string path = slashes(f[2]);
    if (choice == "swf") {
      write(stem(path) + ".swf", "movie");
    } else {
      write(path, "picture");
      info(path, f[3], 640, 480);
    }
  } else if (verb == "images" && f.size() == 5 && choice != "cancel") {
    std::string folder = slashes(f[2]);
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    int first = std::atoi(f[3].c_str());
    if (choice == "swf") {
      write(folder + "/" + std::to_string(first) + ".swf", "movie");
    } else {
      int count = std::atoi(env("QA_COMPANION_COUNT", "2").c_str());
      for (int i = 0; i < count; ++i) {
        std::string picture = folder + "/" + std::to_string(first + i) + ".jpg";
        write(picture, "picture");
        info(picture, f[4], 640, 480);
      }
      write(folder + "/images.txt", std::to_string(count) + "\n");
    }
  } else if (verb == "changeImage" && f.size() == 4 && choice != "cancel") {
    std::string path = slashes(f[2]);
    struct stat before {};
    time_t then = stat(path.c_str(), &before) == 0 ? before.st_mtime : 0;
    write(path, "changed picture");
    struct utimbuf times = {then + 2, then + 2};
    utime(path.c_str(), &times);
  } else if (verb == "sound" && f.size() == 4 && choice != "cancel") {
    write(slashes(f[2]), "sound");
  }
  return 0;
}
