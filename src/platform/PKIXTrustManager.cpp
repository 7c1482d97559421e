#include "platform/PKIXTrustManager.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

#include "platform/SecurityExceptions.h"

namespace platform {

PKIXTrustManager::PKIXTrustManager(const KeyStore* keyStore) : store_(X509_STORE_new()) {
  if (!store_) throw IllegalStateException("cannot make a certificate store");
  if (keyStore) {
    anchors_ = keyStore->getTrustedCertificates();
    for (const auto& anchor : anchors_) X509_STORE_add_cert(store_, anchor.handle());
  } else {
    X509_STORE_set_default_paths(store_);
  }
}

PKIXTrustManager::~PKIXTrustManager() { X509_STORE_free(store_); }

std::optional<std::vector<X509Certificate>> PKIXTrustManager::getAcceptedIssuers() {
  return anchors_;
}

void PKIXTrustManager::checkServerTrusted(const CertificateChain* chain,
                                          const std::string& authType) {
  check(chain, authType, X509_PURPOSE_SSL_SERVER);
}

void PKIXTrustManager::checkClientTrusted(const CertificateChain* chain,
                                          const std::string& authType) {
  check(chain, authType, X509_PURPOSE_SSL_CLIENT);
}

void PKIXTrustManager::check(const CertificateChain* chain, const std::string& authType,
                             int purpose) const {
  if (!chain || chain->empty()) {
    throw IllegalArgumentException("null or zero-length certificate chain");
  }
  if (authType.empty()) throw IllegalArgumentException("null or zero-length authentication type");

  auto freeStack = [](STACK_OF(X509) * stack) { sk_X509_free(stack); };
  std::unique_ptr<STACK_OF(X509), decltype(freeStack)> untrusted(sk_X509_new_null(), freeStack);
  for (size_t i = 1; i < chain->size(); ++i) sk_X509_push(untrusted.get(), (*chain)[i].handle());
  std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                          X509_STORE_CTX_free);
  if (!untrusted || !context ||
      X509_STORE_CTX_init(context.get(), store_, chain->front().handle(), untrusted.get()) != 1) {
    throw CertificateException("PKIX path validation could not start");
  }
  X509_STORE_CTX_set_purpose(context.get(), purpose);
  if (X509_verify_cert(context.get()) != 1) {
    throw CertificateException(std::string("PKIX path validation failed: ") +
                               X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get())));
  }
}

}  // namespace platform
