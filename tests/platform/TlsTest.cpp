#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/SSLContext.h"
#include "platform/ServerSocket.h"
#include "platform/Security.h"
#include "platform/SecurityExceptions.h"
#include "platform/TrustManagerFactory.h"
#include "platform/X509TrustManager.h"
#include "support/SecuritySnapshot.h"
#include "support/TlsTestServer.h"

using namespace platform;
using testsupport::TlsTestServer;

namespace {

const std::string kRequest = "GET / HTTP/1.0\r\n\r\n";

// Accepts every chain and remembers what it was asked.
class RecordingTrustManager : public X509TrustManager {
 public:
  struct Call {
    bool server;
    CertificateChain chain;
    std::string authType;
  };

  std::optional<std::vector<X509Certificate>> getAcceptedIssuers() override { return std::nullopt; }
  void checkServerTrusted(const CertificateChain* chain, const std::string& authType) override {
    record(true, chain, authType);
  }
  void checkClientTrusted(const CertificateChain* chain, const std::string& authType) override {
    record(false, chain, authType);
  }
  std::vector<Call> calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  void record(bool server, const CertificateChain* chain, const std::string& authType) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back({server, chain ? *chain : CertificateChain{}, authType});
  }
  std::mutex mutex_;
  std::vector<Call> calls_;
};

class RefusingTrustManager : public RecordingTrustManager {
 public:
  void checkServerTrusted(const CertificateChain*, const std::string&) override {
    throw CertificateException("not this server");
  }
};

class NotX509 : public TrustManager {};

std::shared_ptr<SSLContext> contextWith(std::optional<TrustManagers> managers) {
  auto context = SSLContext::getInstance("SSL");
  context->init(managers);
  return context;
}

TrustManagers pkixTrusting(const TlsTestServer& server) {
  KeyStore store;
  store.addTrustedCertificate(X509Certificate(server.certificate()));
  auto factory = TrustManagerFactory::getInstance("PKIX");
  factory->init(&store);
  return factory->getTrustManagers();
}

TrustManagers systemAuthorities() {
  auto factory = TrustManagerFactory::getInstance("PKIX");
  factory->init(static_cast<const KeyStore*>(nullptr));
  return factory->getTrustManagers();
}

std::string exchange(SSLSocket& socket) {
  socket.getOutputStream().write(kRequest);
  socket.getOutputStream().flush();
  std::string answer;
  char buffer[1024];
  int n;
  while ((n = socket.getInputStream().read(buffer, 0, sizeof buffer)) > 0) answer.append(buffer, n);
  return answer;
}

// The handshake's failure message, or nullopt when it succeeded (after which
// one request is exchanged and checked).
std::optional<std::string> connect(SSLContext& context, const TlsTestServer& server) {
  auto socket = context.getSocketFactory()->createSocket("localhost", server.port());
  try {
    socket->startHandshake();
  } catch (const SSLHandshakeException& e) {
    EXPECT_TRUE(socket->isClosed());
    EXPECT_THROW(socket->getInputStream().read(), SocketException);
    return e.message();
  }
  EXPECT_EQ(exchange(*socket), "echo:" + kRequest);
  socket->close();
  return std::nullopt;
}

}  // namespace

TEST(TlsHandshake, TrustDecidesByTrustManagerAndCertificate) {
  enum Trust { kAcceptAll, kSystemAuthorities, kTrustsTheCertificate, kNoX509Manager };
  struct Case {
    const char* name;
    Trust trust;
    bool expired;
    const char* failure;  // a part of the handshake's failure message; null: succeeds
  };
  const Case cases[] = {
      {"accept-all, self-signed", kAcceptAll, false, nullptr},
      {"accept-all, expired", kAcceptAll, true, nullptr},
      {"system authorities, self-signed", kSystemAuthorities, false, "PKIX path validation failed"},
      {"trusted certificate", kTrustsTheCertificate, false, nullptr},
      {"trusted but expired", kTrustsTheCertificate, true, "certificate has expired"},
      {"no X.509 trust manager", kNoX509Manager, false,
       "No X509TrustManager implementation available"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TlsTestServer server({.expired = c.expired});
    std::optional<TrustManagers> managers;
    switch (c.trust) {
      case kAcceptAll: managers = TrustManagers{std::make_shared<RecordingTrustManager>()}; break;
      case kSystemAuthorities: managers = systemAuthorities(); break;
      case kTrustsTheCertificate: managers = pkixTrusting(server); break;
      case kNoX509Manager: managers = TrustManagers{std::make_shared<NotX509>()}; break;
    }
    auto failure = connect(*contextWith(managers), server);
    if (c.failure) {
      ASSERT_TRUE(failure.has_value());
      EXPECT_NE(failure->find(c.failure), std::string::npos) << *failure;
    } else {
      EXPECT_EQ(failure, std::nullopt);
    }
  }
}

TEST(TlsHandshake, TrustManagerSeesThePeerChainAsServerCheck) {
  TlsTestServer server;
  auto recorder = std::make_shared<RecordingTrustManager>();
  // The recorder comes after a manager of another kind: the first X.509 one decides.
  EXPECT_EQ(connect(*contextWith(TrustManagers{std::make_shared<NotX509>(), recorder}), server),
            std::nullopt);
  auto calls = recorder->calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].server);
  EXPECT_FALSE(calls[0].authType.empty());
  ASSERT_EQ(calls[0].chain.size(), 1u);
  EXPECT_EQ(calls[0].chain[0].getEncoded(), X509Certificate(server.certificate()).getEncoded());
  EXPECT_EQ(calls[0].chain[0].getSubjectName(), "CN=localhost");
}

TEST(TlsHandshake, RefusalReachesTheCallerWithItsMessage) {
  TlsTestServer server;
  auto failure = connect(*contextWith(TrustManagers{std::make_shared<RefusingTrustManager>()}), server);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, "CertificateException: not this server");
  EXPECT_EQ(server.handshakes(), 0);
}

TEST(TlsHandshake, HandshakeRunsOnFirstUseAndEndWithoutCloseNoticeIsTheEnd) {
  TlsTestServer server({.closeNotify = false});
  auto context = contextWith(TrustManagers{std::make_shared<RecordingTrustManager>()});
  auto socket = context->getSocketFactory()->createSocket("localhost", server.port());
  // Larger than many TLS records, written in one call.
  const std::string request = "POST / HTTP/1.0\r\nX-Pad: " + std::string(300000, 'p') + "\r\n\r\n";
  socket->getOutputStream().write(request);
  std::string answer;
  char buffer[1024];
  int n;
  while ((n = socket->getInputStream().read(buffer, 0, sizeof buffer)) > 0) answer.append(buffer, n);
  EXPECT_EQ(answer, "echo:" + request);
  EXPECT_EQ(socket->getInputStream().read(), -1);
}

TEST(TlsHandshake, DefaultTrustManagersAreTheDefaultAlgorithmsWhenTheContextIsInitialised) {
  testsupport::SecuritySnapshot snapshot;
  TlsTestServer server;
  auto before = contextWith(std::nullopt);

  auto recorder = std::make_shared<RecordingTrustManager>();
  struct Factory : TrustManagerFactorySpi {
    explicit Factory(std::shared_ptr<RecordingTrustManager> r) : recorder(std::move(r)) {}
    void engineInit(const KeyStore*) override {}
    void engineInit(const ManagerFactoryParameters&) override {}
    TrustManagers engineGetTrustManagers() override { return {recorder}; }
    std::shared_ptr<RecordingTrustManager> recorder;
  };
  TrustManagerFactorySpi::registerClass("tests.RecordingFactory",
                                        [recorder] { return std::make_unique<Factory>(recorder); });
  auto provider = std::make_shared<Provider>("TestTrust", 2.5, "records and accepts");
  provider->put("TrustManagerFactory.Recording", "tests.RecordingFactory");
  Security::insertProviderAt(provider, 2);
  Security::setProperty("ssl.TrustManagerFactory.algorithm", "Recording");
  auto after = contextWith(std::nullopt);

  EXPECT_EQ(connect(*after, server), std::nullopt);
  EXPECT_EQ(recorder->calls().size(), 1u);
  auto failure = connect(*before, server);
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("PKIX"), std::string::npos) << *failure;
}

TEST(TlsHandshake, ConfiguredForeignContextTrustsAsTheContextAndKeepsItAlive) {
  TlsTestServer server;
  struct Case {
    bool acceptAll;
    bool succeeds;
  };
  for (Case c : {Case{true, true}, Case{false, false}}) {
    SSL_CTX* foreign = SSL_CTX_new(TLS_client_method());
    {
      auto context = c.acceptAll
                         ? contextWith(TrustManagers{std::make_shared<RecordingTrustManager>()})
                         : contextWith(systemAuthorities());
      context->configure(foreign);
    }  // the context is gone; the foreign context still uses its trust manager
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(server.port()));
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    SSL* session = SSL_new(foreign);
    SSL_set_fd(session, fd);
    EXPECT_EQ(SSL_connect(session) == 1, c.succeeds) << c.acceptAll;
    if (c.succeeds) SSL_shutdown(session);
    SSL_free(session);
    ::close(fd);
    SSL_CTX_free(foreign);
  }
}

TEST(TlsHandshake, PeerThatIsNoTlsServerFailsTheHandshake) {
  for (const std::string reply : {"", "HTTP/1.0 200 OK\r\n\r\nplain"}) {
    SCOPED_TRACE(reply);
    ServerSocket listener(0, 1, std::string("127.0.0.1"));
    std::thread peer([&] {
      auto connection = listener.accept();
      if (!reply.empty()) connection->getOutputStream().write(reply);
      connection->close();
    });
    auto context = contextWith(TrustManagers{std::make_shared<RecordingTrustManager>()});
    auto socket = context->getSocketFactory()->createSocket("127.0.0.1", listener.getLocalPort());
    EXPECT_THROW(socket->startHandshake(), SSLHandshakeException);
    peer.join();
  }
}

TEST(SSLContext, ProtocolsAndUseBeforeInit) {
  for (const char* protocol : {"SSL", "TLS", "tls"}) {
    EXPECT_EQ(SSLContext::getInstance(protocol)->getProtocol(), protocol);
  }
  for (const char* protocol : {"SSLv2", ""}) {
    EXPECT_THROW(SSLContext::getInstance(protocol), NoSuchAlgorithmException) << protocol;
  }
  auto context = SSLContext::getInstance("SSL");
  EXPECT_THROW(context->getSocketFactory(), IllegalStateException);
  EXPECT_THROW(context->configure(nullptr), IllegalStateException);
}

TEST(SSLContext, DefaultIsMadeOnFirstUseOrSet) {
  ASSERT_NE(SSLContext::getDefault(), nullptr);
  EXPECT_NE(SSLContext::getDefault()->getSocketFactory(), nullptr);
  EXPECT_EQ(SSLContext::getDefault(), SSLContext::getDefault());

  auto acceptAll = contextWith(TrustManagers{std::make_shared<RecordingTrustManager>()});
  SSLContext::setDefault(acceptAll);
  EXPECT_EQ(SSLContext::getDefault(), acceptAll);
  EXPECT_THROW(SSLContext::setDefault(nullptr), NullPointerException);
  EXPECT_EQ(SSLContext::getDefault(), acceptAll);
}
