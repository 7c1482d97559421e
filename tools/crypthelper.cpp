// Developer tool: scrambles, in place, the plain files of a folder tree that
// the storage path rule marks as scrambled. Running it twice restores the
// tree. Usage: crypthelper <folder>

#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/System.h"
#include "quorvelauction/offline/CryptHelper.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    quorvelauction::offline::CryptHelper::main(args);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    platform::System::out().flush();
    platform::System::err().flush();
    return 1;
  }
  platform::System::out().flush();
  return 0;
}
