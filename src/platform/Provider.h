#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// A named, versioned security provider: a table from service keys
// ("Type.Algorithm", e.g. "TrustManagerFactory.PKIX") to the names of the
// classes that implement them. Besides its services the table holds the
// entries every provider has: "Provider.id name", "Provider.id version" and
// "Provider.id info". Safe for use by several threads.
class Provider {
 public:
  Provider(std::string name, double version, std::string info);
  virtual ~Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;

  const std::string& getName() const { return name_; }
  double getVersion() const { return version_; }
  const std::string& getInfo() const { return info_; }

  // Sets key to value; returns the value it had before, if any.
  std::optional<std::string> put(const std::string& key, const std::string& value);
  std::optional<std::string> getProperty(const std::string& key) const;
  // The table's keys in the order they were first put.
  std::vector<std::string> keys() const;

  // The class name of the service type.algorithm; the algorithm is compared
  // without regard to case, as algorithm names are.
  std::optional<std::string> getServiceClassName(const std::string& type,
                                                 const std::string& algorithm) const;

 private:
  const std::string name_;
  const double version_;
  const std::string info_;
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, std::string>> table_;
};

}  // namespace platform
