#include <gtest/gtest.h>

#include <string>

#include "platform/ByteArrayInputStream.h"
#include "support/TempDir.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

namespace {

using xml::Document;
using xml::DocumentException;
using xml::SAXReader;

std::string compact(const Document& doc) {
  return xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(doc.getRootElement());
}

std::string parseError(const std::string& text) {
  try {
    SAXReader().read(text);
  } catch (const DocumentException& e) {
    return e.what();
  }
  return "parsed";
}

TEST(XmlReader, MalformedTextFailsWithPosition) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "line 1, column 1"},
      {"   \n  ", ""},
      {"<a>", ""},
      {"<a></b>", "line 1"},
      {"<a>\n<b>\n</a>", ""},
      {"<a b=1/>", "line 1, column 6"},
      {"<a b='1' b='2'/>", "appears twice"},
      {"<a/><b/>", "only one root element"},
      {"x<a/>", "outside the root element"},
      {"<a/>junk", "outside the root element"},
      {"<a>&nbsp;</a>", "\"nbsp\" was referenced, but not declared"},
      {"<a>a & b</a>", "must start a reference"},
      {"<a b='&x;'/>", "\"x\" was referenced"},
      {"<a>&#0;</a>", "not a valid character reference"},
      {"<a>&#x110000;</a>", "not a valid character reference"},
      {"<a>&#xZZ;</a>", "not a valid character reference"},
      {"<a b='<'/>", "not allowed in attribute values"},
      {"<a>]]></a>", "not allowed in text"},
      {"<p:a/>", "prefix \"p\" is not bound"},
      {"<a p:x='1'/>", "prefix \"p\" is not bound"},
      {"<a>\x01</a>", "invalid XML character U+0001"},
      {"<a/>\n<?xml version='1.0'?>", "declaration must come first"},
      {" <?xml version='1.0'?><a/>", "declaration must come first"},
      {"<!DOCTYPE a [<!ENTITY x 'y'>><a/>", "malformed document type declaration"},
      {"<!DOCTYPE a [%>e;]><a/>", "malformed document type declaration"},
      {"<a/><!DOCTYPE a>", "malformed document type declaration"},
  };
  for (auto [text, part] : cases) {
    std::string message = parseError(text);
    EXPECT_NE(message, "parsed") << text;
    EXPECT_NE(message.find("Error on line"), std::string::npos) << text << ": " << message;
    EXPECT_NE(message.find(part), std::string::npos) << text << ": " << message;
  }
  EXPECT_NE(parseError("<a>\n<b>\n</a>").find("line 3"), std::string::npos)
      << parseError("<a>\n<b>\n</a>");
}

// Repaired bytes grow the text past its first reservation; the error must
// still be read from the text as it is then, with the position of the NUL.
TEST(XmlReader, InvalidCharacterAfterRepairedBytesReportsItsPosition) {
  std::string text(10, '\xEE');
  text += std::string("\n\0", 2);
  EXPECT_EQ(parseError(text), "Error on line 2, column 1: invalid XML character U+0000");
}

TEST(XmlReader, AcceptsWhatTheRulesAllow) {
  std::string many = "<a";
  for (int i = 0; i < 40; ++i) many += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  const std::pair<std::string, std::string> cases[] = {
      {"<a><!-- & < ]]> --><?p & < ?><![CDATA[ & < ]]]]></a>", "<a><!-- & < ]]> --><?p & < ?><![CDATA[ & < ]]]]></a>"},
      {"<!DOCTYPE a [ <!-- it's ] --> <!ELEMENT a ANY> <?p ]> ?> ]><a x='\"&amp;\"'/>", "<a x=\"&quot;&amp;&quot;\"/>"},
      {"<?xml version=\"1.0\"?>\n<?xml-stylesheet href=\"s\"?><a/>\n<!-- after -->\n", "<a/>"},
      {"<a xmlns:p=\"u\"><p:b p:c=\"1\"/></a>", "<a xmlns:p=\"u\"><p:b p:c=\"1\"/></a>"},
      {"<a xml:lang=\"de\">]]</a>", "<a xml:lang=\"de\">]]</a>"},
      {many + "/>", many + "/>"},
  };
  for (const auto& [text, written] : cases) {
    try {
      EXPECT_EQ(compact(SAXReader().read(text)), written);
    } catch (const DocumentException& e) {
      ADD_FAILURE() << text << ": " << e.what();
    }
  }
  EXPECT_NE(parseError(many + " a17=\"again\"/>").find("\"a17\" appears twice"), std::string::npos);
  EXPECT_NE(parseError("<a b='1'/><!-- x --><c/>").find("only one root element"), std::string::npos);
}

TEST(XmlReader, ExternalEntityReadsNoFile) {
  testsupport::TempDir dir;
  std::string secret = dir.write("secret.txt", "SECRET-CONTENT");
  std::string text = "<!DOCTYPE r [<!ENTITY xxe SYSTEM \"file://" + secret +
                     "\">]><r>&xxe;</r>";
  std::string message = parseError(text);
  EXPECT_NE(message.find("\"xxe\" was referenced"), std::string::npos) << message;
  EXPECT_EQ(message.find("SECRET"), std::string::npos);
  // A DTD that is declared but not used is skipped, not loaded.
  Document doc = SAXReader().read("<!DOCTYPE r SYSTEM \"file://" + secret + "\"><r>x</r>");
  EXPECT_EQ(compact(doc), "<r>x</r>");
}

TEST(XmlReader, ReadsUtf8WhateverTheDeclarationSays) {
  std::string text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>Gr\xC3\xB6\xC3\x9F" "e</a>";
  EXPECT_EQ(SAXReader().read(text).getRootElement().getText(), "Gr\xC3\xB6\xC3\x9F" "e");
  // Byte-order mark skipped; a malformed sequence reads as U+FFFD.
  EXPECT_EQ(SAXReader().read("\xEF\xBB\xBF<a>x</a>").getRootElement().getText(), "x");
  EXPECT_EQ(SAXReader().read("<a>\xE4" "b\xC3</a>").getRootElement().getText(),
            "\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_EQ(SAXReader().read("<a b=\"\xFF\"/>").getRootElement().attributeValue("b"), "\xEF\xBF\xBD");
}

TEST(XmlReader, DecodesReferencesAndNormalisesLineEnds) {
  Document doc = SAXReader().read(
      "<a t=\"1&#9;2&#10;3\" s=\"1\t2\n3\" q=\"&quot;&apos;&lt;&gt;&amp;\">"
      "x&#x1F600;&#228;&amp;lt;\r\ny\r</a>");
  xml::Element a = doc.getRootElement();
  EXPECT_EQ(a.attributeValue("t"), "1\t2\n3");
  EXPECT_EQ(a.attributeValue("s"), "1 2 3");
  EXPECT_EQ(a.attributeValue("q"), "\"'<>&");
  EXPECT_EQ(a.getText(), "x\xF0\x9F\x98\x80\xC3\xA4&lt;\ny\n");
}

TEST(XmlReader, ReadsFromAStream) {
  platform::ByteArrayInputStream in(std::string("<a><b>1</b></a>"));
  EXPECT_EQ(compact(SAXReader().read(in)), "<a><b>1</b></a>");
}

TEST(XmlReader, DeepNestingDoesNotRecurse) {
  const int depth = 100000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<e a=\"&amp;\">";
  text += "x";
  for (int i = 0; i < depth; ++i) text += "</e>";
  std::string written;
  {
    Document doc = SAXReader().read(text);
    xml::Element e = doc.getRootElement();
    written = compact(doc);
    for (int i = 1; i < depth; ++i) e = e.element("e");
    EXPECT_EQ(e.getText(), "x");
  }
  std::string expected;
  for (int i = 0; i < depth; ++i) expected += "<e a=\"&amp;\">";
  expected += "x";
  for (int i = 0; i < depth; ++i) expected += "</e>";
  EXPECT_EQ(written, expected);
  // Unclosed deep nesting fails cleanly.
  EXPECT_THROW(SAXReader().read(text.substr(0, text.size() / 2)), DocumentException);
}

}  // namespace
