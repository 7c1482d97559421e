#include "platform/SSLContext.h"

#include "platform/SecurityExceptions.h"
#include "platform/Strings.h"
#include "platform/TrustManagerFactory.h"
#include "platform/X509TrustManager.h"

namespace platform {

namespace {

struct DefaultContext {
  std::mutex mutex;
  std::shared_ptr<SSLContext> context;
};

DefaultContext& defaultContext() {
  static DefaultContext instance;
  return instance;
}

TrustManagers defaultTrustManagers() {
  auto factory = TrustManagerFactory::getInstance(TrustManagerFactory::getDefaultAlgorithm());
  factory->init(static_cast<const KeyStore*>(nullptr));
  return factory->getTrustManagers();
}

}  // namespace

std::shared_ptr<SSLContext> SSLContext::getInstance(const std::string& protocol) {
  if (!Strings::equalsIgnoreCase(protocol, "SSL") && !Strings::equalsIgnoreCase(protocol, "TLS")) {
    throw NoSuchAlgorithmException(protocol + " SSLContext not available");
  }
  return std::shared_ptr<SSLContext>(new SSLContext(protocol));
}

void SSLContext::init(const std::optional<TrustManagers>& trustManagers) {
  const TrustManagers managers = trustManagers ? *trustManagers : defaultTrustManagers();
  std::shared_ptr<X509TrustManager> decider;
  for (const auto& manager : managers) {
    decider = std::dynamic_pointer_cast<X509TrustManager>(manager);
    if (decider) break;
  }
  auto engine = std::make_shared<const TlsEngine>(std::move(decider));
  std::lock_guard<std::mutex> lock(mutex_);
  engine_ = std::move(engine);
}

std::shared_ptr<const TlsEngine> SSLContext::engine() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!engine_) throw IllegalStateException("SSLContext is not initialized");
  return engine_;
}

std::shared_ptr<SSLSocketFactory> SSLContext::getSocketFactory() const {
  return std::make_shared<SSLSocketFactory>(engine());
}

void SSLContext::configure(ssl_ctx_st* context) const { engine()->configure(context); }

std::shared_ptr<SSLContext> SSLContext::getDefault() {
  DefaultContext& d = defaultContext();
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.context) {
    auto context = std::shared_ptr<SSLContext>(new SSLContext("Default"));
    context->init(std::nullopt);
    d.context = std::move(context);
  }
  return d.context;
}

void SSLContext::setDefault(std::shared_ptr<SSLContext> context) {
  if (!context) throw NullPointerException("context");
  DefaultContext& d = defaultContext();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.context = std::move(context);
}

}  // namespace platform
