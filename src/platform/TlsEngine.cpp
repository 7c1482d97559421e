#include "platform/TlsEngine.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "platform/HostResolver.h"
#include "platform/SecurityExceptions.h"

namespace platform {

namespace {

void freeFailure(void*, void* failure, CRYPTO_EX_DATA*, int, long, void*) {
  delete static_cast<std::string*>(failure);
}

void freeEngine(void*, void* engine, CRYPTO_EX_DATA*, int, long, void*) {
  delete static_cast<std::shared_ptr<const TlsEngine>*>(engine);
}

// Slot of a session for the trust manager's refusal.
int failureSlot() {
  static const int slot = CRYPTO_get_ex_new_index(CRYPTO_EX_INDEX_SSL, 0, nullptr, nullptr,
                                                  nullptr, freeFailure);
  return slot;
}

// Slot of a foreign context for the engine it keeps alive.
int engineSlot() {
  static const int slot = CRYPTO_get_ex_new_index(CRYPTO_EX_INDEX_SSL_CTX, 0, nullptr, nullptr,
                                                  nullptr, freeEngine);
  return slot;
}

// The peer's chain, its own certificate first.
CertificateChain peerChain(X509_STORE_CTX* store) {
  CertificateChain chain;
  X509* leaf = X509_STORE_CTX_get0_cert(store);
  if (leaf) chain.emplace_back(leaf);
  STACK_OF(X509)* sent = X509_STORE_CTX_get0_untrusted(store);
  for (int i = 0; sent && i < sk_X509_num(sent); ++i) {
    X509* certificate = sk_X509_value(sent, i);
    if (certificate != leaf) chain.emplace_back(certificate);
  }
  return chain;
}

// The key exchange and authentication of the negotiated suite, e.g.
// "ECDHE_RSA"; "UNKNOWN" where the suite does not fix them (TLS 1.3).
std::string authType(const SSL* session) {
  const SSL_CIPHER* cipher = SSL_get_pending_cipher(session);
  if (!cipher) cipher = SSL_get_current_cipher(session);
  if (!cipher) return "UNKNOWN";
  std::string auth;
  switch (SSL_CIPHER_get_auth_nid(cipher)) {
    case NID_auth_rsa: auth = "RSA"; break;
    case NID_auth_ecdsa: auth = "ECDSA"; break;
    case NID_auth_dss: auth = "DSA"; break;
    default: return "UNKNOWN";
  }
  switch (SSL_CIPHER_get_kx_nid(cipher)) {
    case NID_kx_ecdhe: return "ECDHE_" + auth;
    case NID_kx_dhe: return "DHE_" + auth;
    default: return auth;
  }
}

}  // namespace

TlsEngine::TlsEngine(std::shared_ptr<X509TrustManager> trustManager)
    : context_(SSL_CTX_new(TLS_client_method())), trustManager_(std::move(trustManager)) {
  if (!context_) throw KeyManagementException("cannot make a TLS context");
  // HTTP/1.0 peers often close without a TLS close notice; that is the end
  // of the stream, not an error.
  SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
  attach(context_, this);
}

TlsEngine::~TlsEngine() { SSL_CTX_free(context_); }

ssl_st* TlsEngine::newClientSession(const std::optional<std::string>& host) const {
  SSL* session = SSL_new(context_);
  if (!session) throw SSLException("cannot make a TLS session");
  if (host && !host->empty() && !HostResolver::isAddressLiteral(*host)) {
    SSL_set_tlsext_host_name(session, host->c_str());
  }
  return session;
}

void TlsEngine::configure(ssl_ctx_st* context) const {
  auto* keep = new std::shared_ptr<const TlsEngine>(shared_from_this());
  if (SSL_CTX_set_ex_data(context, engineSlot(), keep) != 1) {
    delete keep;
    throw SSLException("cannot configure a TLS context");
  }
  attach(context, this);
}

std::optional<std::string> TlsEngine::trustFailure(const ssl_st* session) {
  auto* failure = static_cast<std::string*>(SSL_get_ex_data(session, failureSlot()));
  if (!failure) return std::nullopt;
  return *failure;
}

void TlsEngine::attach(ssl_ctx_st* context, const TlsEngine* engine) {
  // The callback's verdict only counts in peer-verifying mode.
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, verifyPeer, const_cast<TlsEngine*>(engine));
}

int TlsEngine::verifyPeer(x509_store_ctx_st* store, void* arg) {
  const auto* engine = static_cast<const TlsEngine*>(arg);
  auto* session = static_cast<SSL*>(
      X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  std::string refusal;
  try {
    if (!engine->trustManager_) {
      throw CertificateException("No X509TrustManager implementation available");
    }
    CertificateChain chain = peerChain(store);
    const std::string type = session ? authType(session) : "UNKNOWN";
    if (session && SSL_is_server(session)) {
      engine->trustManager_->checkClientTrusted(&chain, type);
    } else {
      engine->trustManager_->checkServerTrusted(&chain, type);
    }
    return 1;
  } catch (const std::exception& e) {
    refusal = describe(e);
  }
  if (session) {
    delete static_cast<std::string*>(SSL_get_ex_data(session, failureSlot()));
    SSL_set_ex_data(session, failureSlot(), new std::string(refusal));
  }
  X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

}  // namespace platform
