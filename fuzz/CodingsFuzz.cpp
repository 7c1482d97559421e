// The text codings of the front end's replies and forms.

#include <cstdlib>

#include "FuzzTarget.h"
#include "platform/Exceptions.h"
#include "quorvelauction/common/XMLUtils.h"

QA_FUZZ_TARGET(CodingsFuzz) {
  using quorvelauction::common::XMLUtils;
  const std::string escaped = XMLUtils::escape(input);
  // Form decoding refuses a broken "%" escape; what escape wrote decodes.
  try {
    XMLUtils::unescape(input);
  } catch (const platform::IllegalArgumentException&) {
  }
  XMLUtils::unescape(escaped);
  XMLUtils::encodeXML(input);
  XMLUtils::encodeHtml(input);
  XMLUtils::escapeUmlaut(input);
  XMLUtils::htmlToText(input);
}
