#include "platform/System.h"

int main() {
  platform::System::out().println("program exit");
  return 0;
}
