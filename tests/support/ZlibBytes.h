#pragma once

#include <zlib.h>

#include <string>

namespace testsupport {

// plain as one zlib stream, as the service sends its update downloads.
inline std::string zlibOf(const std::string& plain) {
  uLongf size = compressBound(plain.size());
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(plain.data()),
           plain.size());
  packed.resize(size);
  return packed;
}

}  // namespace testsupport
