// The companion program of the local auction server on Linux: file
// dialogs, picture conversion and scaling, and the browser start. The
// server starts it with one command "<verb>*<field>*..." that the shell-less
// start has split at blanks; the blanks are put back before the fields are
// read.

#include <string>

#include "Picture.h"
#include "Verbs.h"

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  std::string request = argv[1];
  for (int i = 2; i < argc; ++i) request.append(" ").append(argv[i]);
  if (!companion::Picture::start(argv[0])) return 1;
  int status = companion::Verbs::run(request);
  companion::Picture::stop();
  return status;
}
