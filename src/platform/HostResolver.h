#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>
#include <vector>

namespace platform {

// Turns a host name or address text into the socket addresses of one port,
// IPv4 addresses first (as the platform orders them). An absent or empty host
// is the loopback address. Fails with UnknownHostException.
class HostResolver {
 public:
  struct Address {
    sockaddr_storage storage;
    socklen_t length;
    int family;
  };

  static std::vector<Address> resolve(const std::optional<std::string>& host, int port);

  // Fails with IllegalArgumentException("port out of range:" + port) unless
  // 0 <= port <= 65535.
  static void checkPort(int port);

  // True when host is a literal IPv4 or IPv6 address rather than a name.
  static bool isAddressLiteral(const std::string& host);
};

}  // namespace platform
