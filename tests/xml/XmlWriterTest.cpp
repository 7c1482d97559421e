#include <gtest/gtest.h>

#include <string>

#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

namespace {

using xml::OutputFormat;
using xml::XMLWriter;

xml::Document parse(const char* text) { return xml::SAXReader().read(text); }

TEST(XmlWriter, PrettyLayout) {
  xml::Document doc = parse(
      "<?xml version=\"1.0\"?><!-- c --><r a=\"1\"><t>  two   words </t><e/><w> </w>"
      "<m>text <b>bold</b></m><?p d?></r>");
  XMLWriter pretty(OutputFormat::createPrettyPrint());
  EXPECT_EQ(pretty.toString(doc),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!-- c -->\n"
            "<r a=\"1\">\n"
            "  <t>two words</t>\n"
            "  <e/>\n"
            "  <w></w>\n"
            "  <m>\n"
            "    text\n"
            "    <b>bold</b>\n"
            "  </m>\n"
            "  <?p d?>\n"
            "</r>\n");
  EXPECT_EQ(pretty.toString(doc.getRootElement().element("m")), "<m>\n  text\n  <b>bold</b>\n</m>");
}

TEST(XmlWriter, UntrimmedLayoutKeepsText) {
  xml::Element r = parse("<r> a  b <c>\n</c><![CDATA[ x ]]></r>").getRootElement();
  EXPECT_EQ(r.asXML(), "<r> a  b <c>\n</c><![CDATA[ x ]]></r>");
  EXPECT_EQ(XMLWriter(OutputFormat::createCompactFormat()).toString(r),
            "<r>a b<c></c><![CDATA[ x ]]></r>");
}

TEST(XmlWriter, EscapesTextAndAttributesOfCodeMadeContent) {
  xml::Document doc;
  xml::Element r = doc.addElement("r");
  r.addAttribute("a", "\"<&>'");
  r.addText("<&>\"'");
  EXPECT_EQ(r.asXML(), "<r a=\"&quot;&lt;&amp;&gt;'\">&lt;&amp;&gt;\"'</r>");
  // Adjacent text pieces are trimmed as one.
  xml::Element s = r.addElement("s");
  s.addText(" one");
  s.addText("two ");
  s.addText(" three ");
  EXPECT_EQ(XMLWriter(OutputFormat::createCompactFormat()).toString(s), "<s>onetwo three</s>");
}

TEST(XmlWriter, ElementOnItsOwnDeclaresInheritedPrefixes) {
  xml::Document doc = parse(
      "<a xmlns=\"urn:d\" xmlns:p=\"urn:p\" xmlns:q=\"urn:q\"><p:b q:x=\"1\"><c/><p:d xmlns:p=\"urn:other\"/>"
      "</p:b><plain xmlns=\"\"/></a>");
  XMLWriter compact(OutputFormat::createCompactFormat());
  xml::Element a = doc.getRootElement();
  EXPECT_EQ(compact.toString(a.element("b")),
            "<p:b xmlns:p=\"urn:p\" xmlns:q=\"urn:q\" q:x=\"1\"><c xmlns=\"urn:d\"/>"
            "<p:d xmlns:p=\"urn:other\"/></p:b>");
  EXPECT_EQ(compact.toString(a.element("plain")), "<plain xmlns=\"\"/>");
  // Written from the root nothing is added.
  EXPECT_EQ(compact.toString(a), a.asXML());
}

// The writer collects its text in pieces that grow from 4 KiB to 1 MiB: a
// document already in compact form is written back unchanged, whatever
// crosses a piece boundary, also after text already in the string.
TEST(XmlWriter, CompactFormWritesBackUnchangedAcrossPieceBoundaries) {
  auto many = [](int n, const std::string& item) {
    std::string text;
    for (int i = 0; i < n; ++i) text += item;
    return text;
  };
  const std::string escapes = "&lt;&amp;&gt;&quot;";
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"an empty element", "<r/>"},
      {"escapes around the end of the first piece",
       "<r a=\"" + std::string(4084, 'v') + escapes + std::string(5000, 'w') + "\"/>"},
      {"text escapes around the end of the first piece",
       "<r>" + std::string(4092, 't') + "&amp;&lt;&gt;" + std::string(70, 'u') + "</r>"},
      {"a name longer than the first piece", "<" + std::string(5000, 'n') + " b=\"1\"/>"},
      {"a comment longer than the largest piece",
       "<r><!--" + std::string(3 << 20, 'c') + "--><e/></r>"},
      {"many small elements", "<r>" + many(200000, "<item id=\"7\">t&amp;u</item><e a=\"&quot;\"/>") + "</r>"},
  };
  XMLWriter compact(OutputFormat::createCompactFormat());
  for (const Case& c : cases) {
    xml::Element root = parse(c.text.c_str()).getRootElement();
    EXPECT_TRUE(compact.toString(root) == c.text) << c.what;
    std::string out = "before";
    compact.write(root, out);
    EXPECT_TRUE(out == "before" + c.text) << c.what << ", appended";
  }
}

TEST(XmlWriter, DeepTreesGiveLinearPrettyOutput) {
  const int depth = 100000;
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<e><f/>";
  for (int i = 0; i < depth; ++i) text += "</e>";
  xml::Document doc = xml::SAXReader().read(text);
  std::string pretty = XMLWriter(OutputFormat::createPrettyPrint()).toString(doc);
  EXPECT_LT(pretty.size(), size_t{depth} * 500);
  EXPECT_NE(pretty.find("\n    <e>\n      <f/>"), std::string::npos);
}

}  // namespace
