#include "vtl/Velocity.h"

namespace vtl {

Engine& Velocity::engine() {
  static Engine instance;
  return instance;
}

}  // namespace vtl
