#include "platform/Exceptions.h"

#include "platform/System.h"

namespace platform {

std::string describe(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) {
    std::string text = own->typeName();
    if (*own->what()) text += std::string(": ") + own->what();
    return text;
  }
  return std::string("std::exception: ") + e.what();
}

void printStackTrace(const std::exception& e) { System::err().println(describe(e)); }

}  // namespace platform
