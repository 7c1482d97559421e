#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/SSLContext.h"
#include "platform/Security.h"
#include "platform/SecurityExceptions.h"
#include "platform/TrustManagerFactory.h"
#include "quorvelauction/common/XTrustProvider.h"
#include "quorvelauction/common/XTrustProviderTrustManagerFactoryImpl.h"
#include "support/SecuritySnapshot.h"
#include "support/TlsTestServer.h"

using platform::Security;
using quorvelauction::common::XTrustProvider;
using testsupport::TlsTestServer;

namespace {

// Every test starts with the provider not installed and ends with the
// providers as they were.
class XTrustProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Security::removeProvider(XTrustProvider::NAME);
    Security::setProperty("ssl.TrustManagerFactory.algorithm", "PKIX");
  }

  static std::vector<std::string> names() {
    std::vector<std::string> result;
    for (const auto& provider : Security::getProviders()) result.push_back(provider->getName());
    return result;
  }

  // A context with the default trust managers, as set up now.
  static std::shared_ptr<platform::SSLContext> defaultTrustContext() {
    auto context = platform::SSLContext::getInstance("SSL");
    context->init(std::nullopt);
    return context;
  }

  static bool handshakeSucceeds(platform::SSLContext& context, const TlsTestServer& server) {
    auto socket = context.getSocketFactory()->createSocket("localhost", server.port());
    try {
      socket->startHandshake();
      return true;
    } catch (const platform::SSLHandshakeException&) {
      return false;
    }
  }

  testsupport::SecuritySnapshot snapshot_;
};

}  // namespace

TEST_F(XTrustProviderTest, InstallMakesDefaultTrustManagersAcceptEveryChain) {
  TlsTestServer selfSigned;
  TlsTestServer expired({.expired = true});
  auto before = defaultTrustContext();
  EXPECT_FALSE(handshakeSucceeds(*before, selfSigned));

  XTrustProvider::install();

  const std::vector<std::string> expectedNames = {"PlatformTLS", "XTrustJSSE"};
  EXPECT_EQ(names(), expectedNames);
  EXPECT_EQ(Security::getProperty("ssl.TrustManagerFactory.algorithm"), "XTrustX509");
  EXPECT_EQ(platform::TrustManagerFactory::getDefaultAlgorithm(), "XTrustX509");
  auto after = defaultTrustContext();
  EXPECT_TRUE(handshakeSucceeds(*after, selfSigned));
  EXPECT_TRUE(handshakeSucceeds(*after, expired));
  // A context keeps the trust managers it was set up with.
  EXPECT_FALSE(handshakeSucceeds(*before, selfSigned));
}

TEST_F(XTrustProviderTest, ProviderIdentityAndItsOneService) {
  XTrustProvider provider;
  EXPECT_EQ(provider.getName(), "XTrustJSSE");
  EXPECT_EQ(provider.getVersion(), 1.0);
  EXPECT_EQ(provider.getInfo(),
            "XTrust JSSE Provider (implements trust factory with truststore validation disabled)");
  const std::vector<std::string> keys = {"Provider.id name", "Provider.id version",
                                         "Provider.id info", "TrustManagerFactory.XTrustX509"};
  EXPECT_EQ(provider.keys(), keys);
  EXPECT_EQ(provider.getProperty("TrustManagerFactory.XTrustX509"),
            "quorvelauction.common.XTrustProvider$TrustManagerFactoryImpl");
}

TEST_F(XTrustProviderTest, SecondInstallChangesNothing) {
  XTrustProvider::install();
  auto installed = Security::getProvider("XTrustJSSE");
  Security::setProperty("ssl.TrustManagerFactory.algorithm", "PKIX");

  XTrustProvider::install();

  EXPECT_EQ(names(), (std::vector<std::string>{"PlatformTLS", "XTrustJSSE"}));
  EXPECT_EQ(Security::getProvider("XTrustJSSE"), installed);
  EXPECT_EQ(Security::getProperty("ssl.TrustManagerFactory.algorithm"), "PKIX");
}

TEST_F(XTrustProviderTest, IntoAnEmptyListItBecomesTheFirst) {
  for (const auto& name : names()) Security::removeProvider(name);
  XTrustProvider::install();
  EXPECT_EQ(names(), std::vector<std::string>{"XTrustJSSE"});
}

TEST_F(XTrustProviderTest, FactoryHandsOutNewAcceptAllManagers) {
  XTrustProvider::install();
  auto factory = platform::TrustManagerFactory::getInstance(
      platform::TrustManagerFactory::getDefaultAlgorithm());
  EXPECT_EQ(factory->getProvider()->getName(), "XTrustJSSE");

  struct Parameters : platform::ManagerFactoryParameters {};
  try {
    factory->init(Parameters{});
    ADD_FAILURE();
  } catch (const platform::InvalidAlgorithmParameterException& e) {
    EXPECT_EQ(e.message(), "XTrustJSSE does not use ManagerFactoryParameters");
  }
  factory->init(static_cast<const platform::KeyStore*>(nullptr));

  auto first = factory->getTrustManagers();
  auto second = factory->getTrustManagers();
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_NE(first[0], second[0]);

  auto manager = std::dynamic_pointer_cast<platform::X509TrustManager>(first[0]);
  ASSERT_NE(manager, nullptr);
  const platform::CertificateChain empty;
  EXPECT_NO_THROW(manager->checkServerTrusted(nullptr, ""));
  EXPECT_NO_THROW(manager->checkServerTrusted(&empty, "RSA"));
  EXPECT_NO_THROW(manager->checkClientTrusted(nullptr, ""));
  EXPECT_NO_THROW(manager->checkClientTrusted(&empty, "RSA"));
  EXPECT_EQ(manager->getAcceptedIssuers(), std::nullopt);
}
