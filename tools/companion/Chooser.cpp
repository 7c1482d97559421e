#include "Chooser.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace companion {

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(line);
    start = end + 1;
  }
  return out;
}

// The answers the edit question may give, by dialog or by variable.
bool isEdit(const std::string& answer) {
  return answer == "replace" || answer == "turn90" || answer == "turn180" || answer == "turn270";
}

bool hasDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

}  // namespace

std::optional<std::string> Chooser::run(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (rc != 0) {
    ::close(pipeFds[0]);
    return std::nullopt;
  }
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    output.append(buffer, n);
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  // zenity ends with status 1 when the dialog is cancelled.
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return output;
}

std::optional<std::vector<std::string>> Chooser::files(Kind kind, bool several) {
  if (const char* given = std::getenv("QUORVELCOMPANION_FILES")) {
    std::vector<std::string> chosen = lines(given);
    if (chosen.empty() || chosen.front() == "cancel") return std::nullopt;
    if (!several) chosen.resize(1);
    return chosen;
  }
  if (!hasDisplay()) return std::nullopt;
  std::vector<std::string> args = {"zenity", "--file-selection"};
  if (kind == Kind::Picture) {
    args.push_back("--title=Bild wählen");
    args.push_back("--file-filter=Bilder und Filme | *.jpg *.jpeg *.JPG *.JPEG *.png *.PNG *.gif *.GIF "
                   "*.tif *.tiff *.webp *.bmp *.swf *.SWF");
  } else {
    args.push_back("--title=Ton wählen");
    args.push_back("--file-filter=MP3 | *.mp3 *.MP3");
  }
  if (several) {
    args.push_back("--multiple");
    args.push_back("--separator=\n");
  }
  std::optional<std::string> output = run(args);
  if (!output) return std::nullopt;
  std::vector<std::string> chosen = lines(*output);
  if (chosen.empty()) return std::nullopt;
  return chosen;
}

std::optional<std::string> Chooser::edit() {
  if (const char* given = std::getenv("QUORVELCOMPANION_EDIT")) {
    if (isEdit(given)) return std::string(given);
    return std::nullopt;
  }
  if (std::getenv("QUORVELCOMPANION_FILES")) return std::string("replace");
  if (!hasDisplay()) return std::nullopt;
  std::optional<std::string> output =
      run({"zenity", "--list", "--title=Bild bearbeiten", "--text=Was soll mit dem Bild geschehen?",
           "--column=", "--column=Aktion", "--hide-column=1", "--print-column=1",
           "replace", "Durch ein anderes Bild ersetzen", "turn90", "Nach rechts drehen",
           "turn270", "Nach links drehen", "turn180", "Auf den Kopf stellen"});
  if (!output) return std::nullopt;
  // The dialog's answer is whatever zenity printed: only a known one counts.
  std::vector<std::string> chosen = lines(*output);
  if (chosen.size() != 1 || !isEdit(chosen.front())) return std::nullopt;
  return chosen.front();
}

}  // namespace companion
