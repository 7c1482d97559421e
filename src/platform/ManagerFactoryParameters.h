#pragma once

namespace platform {

// Provider-specific parameters for initialising a trust-manager factory.
class ManagerFactoryParameters {
 public:
  virtual ~ManagerFactoryParameters() = default;
};

}  // namespace platform
