// The SOAP client's reading of a whole answer (status line, headers, body).

#include "FuzzTarget.h"
#include "platform/Exceptions.h"
#include "quorvelauction/offline/SimpleSoap.h"
#include "xml/DocumentException.h"

QA_FUZZ_TARGET(SoapAnswerFuzz) {
  try {
    quorvelauction::offline::SimpleSoap::interpret(std::string(input));
  } catch (const xml::DocumentException&) {
  } catch (const platform::Exception&) {
  }
}
