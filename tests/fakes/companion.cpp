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
// Backslashes in paths are read as "/". QA_COMPANION_CHOICE_FILE, when set,
// names a file read at every start that overrides the choice, so one running
// server can be given another choice per start: its words are the choice
// ("picture", "cancel", "swf"; for "images" also "overcount", an images.txt
// that counts 1000 more than were written, and "nocount", no images.txt),
// a number (the count of "images") and "slow" (wait 300 ms before writing).

#include <sys/stat.h>
#include <utime.h>

#include <cstdlib>
#include <chrono>
#include <ctime>
#include <thread>
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

struct Choice {
  std::string what;
  int count;
};

Choice readChoice() {
  Choice choice{env("QA_COMPANION_CHOICE", "picture"), std::atoi(env("QA_COMPANION_COUNT", "2").c_str())};
  const char* file = std::getenv("QA_COMPANION_CHOICE_FILE");
  if (!file) return choice;
  std::ifstream in(file);
  bool slow = false;
  for (std::string word; in >> word;) {
    if (word == "slow") {
      slow = true;
    } else if (word.find_first_not_of("0123456789") == std::string::npos) {
      choice.count = std::atoi(word.c_str());
    } else {
      choice.what = word;
    }
  }
  if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return choice;
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
  const Choice chosen = readChoice();
  const std::string& choice = chosen.what;
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
      for (int i = 0; i < chosen.count; ++i) {
        std::string picture = folder + "/" + std::to_string(first + i) + ".jpg";
        write(picture, "picture");
        info(picture, f[4], 640, 480);
      }
      int counted = chosen.count + (choice == "overcount" ? 1000 : 0);
      if (choice != "nocount") write(folder + "/images.txt", std::to_string(counted) + "\n");
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
