#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/PKIXTrustManager.h"
#include "platform/Security.h"
#include "platform/SecurityExceptions.h"
#include "platform/TrustManagerFactory.h"
#include "support/SecuritySnapshot.h"

using namespace platform;

namespace {

std::vector<std::string> providerNames() {
  std::vector<std::string> names;
  for (const auto& provider : Security::getProviders()) names.push_back(provider->getName());
  return names;
}

// A factory that says which class it is, by its single trust manager's kind.
template <int Tag>
struct TaggedFactory : TrustManagerFactorySpi {
  struct Manager : TrustManager {};
  void engineInit(const KeyStore*) override {}
  void engineInit(const ManagerFactoryParameters&) override {}
  TrustManagers engineGetTrustManagers() override { return {std::make_shared<Manager>()}; }
};

template <int Tag>
bool madeBy(TrustManagerFactory& factory) {
  auto managers = factory.getTrustManagers();
  return managers.size() == 1 &&
         std::dynamic_pointer_cast<typename TaggedFactory<Tag>::Manager>(managers[0]) != nullptr;
}

}  // namespace

TEST(Security, StartsWithThePlatformProviderAndPkixAsDefault) {
  ASSERT_FALSE(Security::getProviders().empty());
  auto first = Security::getProviders().front();
  EXPECT_EQ(first->getName(), "PlatformTLS");
  EXPECT_EQ(first->getServiceClassName("TrustManagerFactory", "PKIX"),
            "platform.PKIXTrustManagerFactory");
  EXPECT_EQ(Security::getProperty("ssl.TrustManagerFactory.algorithm"), "PKIX");
  EXPECT_EQ(TrustManagerFactory::getDefaultAlgorithm(), "PKIX");
  EXPECT_EQ(Security::getProperty("no.such.property"), std::nullopt);

  auto factory = TrustManagerFactory::getInstance("pkix");
  EXPECT_EQ(factory->getProvider(), first);
  EXPECT_EQ(factory->getAlgorithm(), "pkix");
}

TEST(Security, InsertsAtPositionsAndRefusesASecondOfTheSameName) {
  struct Case {
    int position;
    int expected;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {1, 1, {"New", "A", "B"}},   {2, 2, {"A", "New", "B"}}, {3, 3, {"A", "B", "New"}},
      {0, 3, {"A", "B", "New"}},   {-5, 3, {"A", "B", "New"}}, {99, 3, {"A", "B", "New"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    testsupport::SecuritySnapshot snapshot;
    for (const auto& provider : Security::getProviders()) Security::removeProvider(provider->getName());
    Security::insertProviderAt(std::make_shared<Provider>("A", 1.0, ""), 1);
    Security::insertProviderAt(std::make_shared<Provider>("B", 1.0, ""), 2);
    auto added = std::make_shared<Provider>("New", 1.0, "");
    EXPECT_EQ(Security::insertProviderAt(added, c.position), c.expected);
    EXPECT_EQ(providerNames(), c.names);
    EXPECT_EQ(Security::getProvider("New"), added);
    EXPECT_EQ(Security::insertProviderAt(std::make_shared<Provider>("New", 2.0, ""), 1), -1);
    EXPECT_EQ(providerNames(), c.names);
    EXPECT_EQ(Security::getProvider("New"), added);
  }
  EXPECT_EQ(Security::getProvider("New"), nullptr);
  EXPECT_EQ(Security::getProvider("platformtls"), nullptr);  // names are exact
  EXPECT_THROW(Security::insertProviderAt(nullptr, 1), NullPointerException);
}

TEST(Provider, HoldsItsIdentityAndServicesInOrder) {
  Provider provider("Name", 1.0, "what it is");
  EXPECT_EQ(provider.getName(), "Name");
  EXPECT_EQ(provider.getVersion(), 1.0);
  EXPECT_EQ(provider.getInfo(), "what it is");
  EXPECT_EQ(provider.getProperty("Provider.id version"), "1.0");
  EXPECT_EQ(Provider("x", 2.25, "").getProperty("Provider.id version"), "2.25");

  EXPECT_EQ(provider.put("TrustManagerFactory.Alg", "first.Class"), std::nullopt);
  EXPECT_EQ(provider.put("TrustManagerFactory.Alg", "second.Class"), "first.Class");
  EXPECT_EQ(provider.keys(), (std::vector<std::string>{"Provider.id name", "Provider.id version",
                                                       "Provider.id info", "TrustManagerFactory.Alg"}));
  EXPECT_EQ(provider.getServiceClassName("TrustManagerFactory", "aLG"), "second.Class");
  EXPECT_EQ(provider.getServiceClassName("TrustManagerFactor", "y.Alg"), std::nullopt);
  EXPECT_EQ(provider.getServiceClassName("KeyManagerFactory", "Alg"), std::nullopt);
}

TEST(TrustManagerFactory, TheFirstProviderOfferingTheAlgorithmWins) {
  testsupport::SecuritySnapshot snapshot;
  TrustManagerFactorySpi::registerClass("tests.One", [] { return std::make_unique<TaggedFactory<1>>(); });
  TrustManagerFactorySpi::registerClass("tests.Two", [] { return std::make_unique<TaggedFactory<2>>(); });
  auto one = std::make_shared<Provider>("One", 1.0, "");
  one->put("TrustManagerFactory.Shared", "tests.One");
  auto two = std::make_shared<Provider>("Two", 1.0, "");
  two->put("TrustManagerFactory.Shared", "tests.Two");
  two->put("TrustManagerFactory.Unloadable", "tests.NoSuchClass");
  Security::insertProviderAt(two, 1);
  Security::insertProviderAt(one, 3);

  auto factory = TrustManagerFactory::getInstance("Shared");
  EXPECT_EQ(factory->getProvider(), two);
  EXPECT_TRUE(madeBy<2>(*factory));
  Security::removeProvider("Two");
  factory = TrustManagerFactory::getInstance("SHARED");
  EXPECT_EQ(factory->getProvider(), one);
  EXPECT_TRUE(madeBy<1>(*factory));

  try {
    TrustManagerFactory::getInstance("Nothing");
    ADD_FAILURE();
  } catch (const NoSuchAlgorithmException& e) {
    EXPECT_EQ(e.message(), "Nothing TrustManagerFactory not available");
  }
  Security::insertProviderAt(two, 1);
  EXPECT_THROW(TrustManagerFactory::getInstance("Unloadable"), NoSuchAlgorithmException);
}

TEST(TrustManagerFactory, PkixRefusesParametersUseBeforeInitAndMissingChains) {
  auto factory = TrustManagerFactory::getInstance("PKIX");
  EXPECT_THROW(factory->getTrustManagers(), IllegalStateException);
  struct NoParameters : ManagerFactoryParameters {};
  EXPECT_THROW(factory->init(NoParameters{}), InvalidAlgorithmParameterException);

  factory->init(static_cast<const KeyStore*>(nullptr));
  auto managers = factory->getTrustManagers();
  ASSERT_EQ(managers.size(), 1u);
  auto pkix = std::dynamic_pointer_cast<X509TrustManager>(managers[0]);
  ASSERT_NE(pkix, nullptr);
  const CertificateChain empty;
  EXPECT_THROW(pkix->checkServerTrusted(nullptr, "RSA"), IllegalArgumentException);
  EXPECT_THROW(pkix->checkServerTrusted(&empty, "RSA"), IllegalArgumentException);
  EXPECT_THROW(pkix->checkClientTrusted(&empty, "RSA"), IllegalArgumentException);
  auto issuers = pkix->getAcceptedIssuers();
  ASSERT_TRUE(issuers.has_value());
  EXPECT_TRUE(issuers->empty());
}
