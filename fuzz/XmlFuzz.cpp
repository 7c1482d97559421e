// The XML reader on any bytes, and both writers on what it accepts.

#include "FuzzTarget.h"
#include "xml/DocumentException.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

QA_FUZZ_TARGET(XmlFuzz) {
  xml::Document document;
  try {
    document = xml::SAXReader().read(input);
  } catch (const xml::DocumentException&) {
    return;
  }
  const std::string compact = xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(document);
  xml::XMLWriter(xml::OutputFormat::createPrettyPrint()).toString(document);
  // What the writer wrote reads back.
  xml::SAXReader().read(compact);
}
