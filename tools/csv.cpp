// Prints the rows of the CSV table class's built-in example.
#include <string>
#include <vector>

#include "zentravilo/util/Csv.h"

int main(int argc, char** argv) {
  zentravilo::util::Csv::main(std::vector<std::string>(argv + 1, argv + argc));
  return 0;
}
