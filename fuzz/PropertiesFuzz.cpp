// Properties files: load any bytes, store the table, and the stored text
// loads back to the same table.

#include <cstdlib>

#include "FuzzTarget.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/Properties.h"

QA_FUZZ_TARGET(PropertiesFuzz) {
  platform::Properties first;
  try {
    platform::ByteArrayInputStream in{std::string(input)};
    first.load(in);
  } catch (const platform::IllegalArgumentException&) {
    return;  // a malformed \uXXXX escape
  }
  platform::ByteArrayOutputStream out;
  first.store(out, std::string("comment"));
  platform::Properties second;
  platform::ByteArrayInputStream back(out.take());
  second.load(back);
  for (const std::string& key : first.keys())
    if (second.getProperty(key) != first.getProperty(key)) std::abort();
}
