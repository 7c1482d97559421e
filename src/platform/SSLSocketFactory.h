#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/SSLSocket.h"
#include "platform/TlsEngine.h"

namespace platform {

// Makes TLS client connections that trust peers as one SSLContext does.
class SSLSocketFactory {
 public:
  explicit SSLSocketFactory(std::shared_ptr<const TlsEngine> engine) : engine_(std::move(engine)) {}

  // Connects to port of host (as Socket does); the handshake follows on
  // first use. host also goes into the server name indication.
  std::unique_ptr<SSLSocket> createSocket(const std::optional<std::string>& host, int port) const {
    return std::make_unique<SSLSocket>(engine_, host, port);
  }
  // As above, with a connect time-out.
  std::unique_ptr<SSLSocket> createSocket(const std::optional<std::string>& host, int port,
                                          std::chrono::milliseconds connectTimeout) const {
    return std::make_unique<SSLSocket>(engine_, host, port, connectTimeout);
  }

 private:
  std::shared_ptr<const TlsEngine> engine_;
};

}  // namespace platform
