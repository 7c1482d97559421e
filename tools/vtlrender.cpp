// Prints the rendering of one template case folder (template.vm with the
// values of context.txt; see VtlCase.h), or "PARSE_ERROR" for a template that
// does not parse.

#include <cstdio>
#include <exception>
#include <string>

#include "VtlCase.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vtlrender CASE_FOLDER\n");
    return 2;
  }
  try {
    std::string output = vtlcase::render(argv[1]);
    std::fwrite(output.data(), 1, output.size(), stdout);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", platform::describe(e).c_str());
    return 1;
  }
}
