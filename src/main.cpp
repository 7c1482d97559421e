#include <string>
#include <vector>

#include "quorvelauction/offline/Server.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  quorvelauction::offline::Server::main(args);
  return 0;
}
