#pragma once

// One fuzz target: QA_FUZZ_TARGET(Name) { ...body using data, size... }.
// Built with QA_LIBFUZZER the target is libFuzzer's entry point; otherwise it
// joins the registry, so that the ordinary tests run the saved reproducers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzRegistry.h"

#ifdef QA_LIBFUZZER
#define QA_FUZZ_REGISTER(name)                                                 \
  extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
    name(std::string_view(reinterpret_cast<const char*>(data), size));      \
    return 0;                                                                \
  }
#else
#define QA_FUZZ_REGISTER(name) \
  static const bool name##Registered = fuzz::Registry::add(#name, name);
#endif

#define QA_FUZZ_TARGET(name)                  \
  static void name(std::string_view input); \
  QA_FUZZ_REGISTER(name)                      \
  static void name(std::string_view input)
