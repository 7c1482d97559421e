#include "platform/HostResolver.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cstring>

#include "platform/NetExceptions.h"

namespace platform {

std::vector<HostResolver::Address> HostResolver::resolve(const std::optional<std::string>& host,
                                                         int port) {
  checkPort(port);
  const std::string name = host && !host->empty() ? *host : "127.0.0.1";
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  int rc = getaddrinfo(name.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) throw UnknownHostException(name + ": " + gai_strerror(rc));
  std::vector<Address> addresses;
  for (addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Address address{};
    std::memcpy(&address.storage, a->ai_addr, a->ai_addrlen);
    address.length = a->ai_addrlen;
    address.family = a->ai_family;
    addresses.push_back(address);
  }
  freeaddrinfo(found);
  if (addresses.empty()) throw UnknownHostException(name);
  std::stable_partition(addresses.begin(), addresses.end(),
                        [](const Address& a) { return a.family == AF_INET; });
  return addresses;
}

void HostResolver::checkPort(int port) {
  if (port < 0 || port > 0xFFFF) {
    throw IllegalArgumentException("port out of range:" + std::to_string(port));
  }
}

bool HostResolver::isAddressLiteral(const std::string& host) {
  unsigned char buffer[sizeof(in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace platform
