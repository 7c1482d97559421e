#pragma once

#include "platform/PrivilegedAction.h"
#include "platform/Provider.h"

namespace quorvelauction::common {

// The security provider "XTrustJSSE". Once installed it makes the platform's
// default trust-manager algorithm one whose trust managers accept every
// certificate chain, so every TLS context set up with the default trust
// managers trusts any server (the online service may present a self-signed
// or expired certificate).
class XTrustProvider : public platform::Provider {
 public:
  static constexpr const char* NAME = "XTrustJSSE";
  static constexpr double VERSION = 1.0;
  static constexpr const char* INFO =
      "XTrust JSSE Provider (implements trust factory with truststore validation disabled)";
  static constexpr const char* ALG_NAME = "XTrustX509";

  class TrustManagerFactoryImpl;

  // Puts the trust-manager factory service into the provider being built.
  class RegisterService : public platform::PrivilegedAction {
   public:
    explicit RegisterService(XTrustProvider& provider) : provider_(provider) {}
    void run() override;

   private:
    XTrustProvider& provider_;
  };

  XTrustProvider();

  // Registers the provider right after the first one and makes its algorithm
  // the default, unless a provider named NAME is installed already.
  static void install();
};

}  // namespace quorvelauction::common
