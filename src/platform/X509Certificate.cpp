#include "platform/X509Certificate.h"

#include <openssl/bio.h>
#include <openssl/x509.h>

#include "platform/Exceptions.h"

namespace platform {

X509Certificate::X509Certificate(x509_st* certificate) {
  if (!certificate) throw NullPointerException("certificate");
  X509_up_ref(certificate);
  certificate_.reset(certificate, X509_free);
}

std::string X509Certificate::getSubjectName() const {
  std::unique_ptr<BIO, decltype(&BIO_free)> out(BIO_new(BIO_s_mem()), BIO_free);
  X509_NAME_print_ex(out.get(), X509_get_subject_name(certificate_.get()), 0, XN_FLAG_RFC2253);
  char* data = nullptr;
  long length = BIO_get_mem_data(out.get(), &data);
  return std::string(data, static_cast<size_t>(length));
}

std::string X509Certificate::getEncoded() const {
  unsigned char* der = nullptr;
  int length = i2d_X509(certificate_.get(), &der);
  if (length < 0) return "";
  std::string bytes(reinterpret_cast<char*>(der), static_cast<size_t>(length));
  OPENSSL_free(der);
  return bytes;
}

}  // namespace platform
