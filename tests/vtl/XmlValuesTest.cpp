// XML documents and elements as template values.

#include <gtest/gtest.h>

#include "TemplateTesting.h"
#include "vtl/XmlContent.h"
#include "vtl/XmlValues.h"
#include "xml/SAXReader.h"

namespace {

// Node counts and joined text read from an element's XML text.
TEST(XmlContent, CountsDirectNodesAndJoinsAllText) {
  struct Case {
    const char* xml;
    int nodes;
    const char* text;
  } cases[] = {
      {"<a/>", 0, ""},
      {"<a>x</a>", 1, "x"},
      {"<a> <b>in<c>ner</c></b> tail &amp; &lt;&#246;&#x20AC;</a>", 3, " inner tail & <\xC3\xB6\xE2\x82\xAC"},
      {"<a>x<![CDATA[<y>]]>z<!-- note --><?pi data?><b k=\"a>b\"/></a>", 6, "x<y>z"},
  };
  for (const auto& c : cases) {
    vtl::XmlContent content(c.xml);
    EXPECT_EQ(content.nodeCount(), c.nodes) << c.xml;
    EXPECT_EQ(content.stringValue(), c.text) << c.xml;
  }
}

TEST(XmlValues, DocumentModelOperationsAndPropertyForms) {
  xml::Document doc = xml::SAXReader().read(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<root v=\"3\" xmlns:p=\"urn:p\"><item id=\"1\" kind=\"a\"> one </item><p:item id=\"2\"/><other/></root>");
  vtl::Context context;
  context.put("doc", vtl::XmlValues::of(doc));
  context.put("none", vtl::XmlValues::of(xml::Element()));
  EXPECT_FALSE(context.containsKey("none"));
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"$doc.rootElement.name $doc.getRootElement().attributeValue('v') $doc.class.name",
       "root 3 org.dom4j.tree.DefaultDocument"},
      {"#set($r = $doc.rootElement)$r.elements().size() $r.elements('item').size() $r.element('other').name",
       "3 2 other"},
      {"#set($i = $doc.rootElement.element('item'))[$i.text][$i.textTrim] $i.getText().length()",
       "[ one ][one] 5"},
      {"#set($i = $doc.rootElement.element('item'))$i.attributeCount() $i.attribute('kind').value "
       "$i.attribute(0).name $i.attributes().size() $i.parent.name",
       "2 a id 2 root"},
      {"#set($r = $doc.rootElement)$!r.attributeValue('missing')|$r.attributeValue('missing', 'dflt')|"
       "$r.element('missing')|$!r.element('missing').name|",
       "|dflt|$r.element('missing')||"},
      {"#foreach($e in $doc.rootElement.elements())$e.qualifiedName,#end", "item,p:item,other,"},
      {"$doc.rootElement.element('other').asXML()", "<other/>"},
      {"#if($doc.rootElement.element('item') == $doc.rootElement.elements().get(0))same#end", "same"},
      {"#if($doc.rootElement.parent)parent#else\nno parent#end", "no parent"},
      {"#set($r = $doc.rootElement)$r.nodeCount() $doc.nodeCount() $r.elementText('item')|"
       "$r.elementTextTrim('item')|$!r.elementText('missing')|$r.element('other').hasContent()",
       "3 1  one |one||false"},
      {"#set($r = $doc.rootElement)$r.elements().get(1).getPath() $r.isRootElement() "
       "$r.element('item').isRootElement() $r.isTextOnly() $r.element('item').isTextOnly()",
       "/root/p:item true false false true"},
      {"$doc.rootElement.getStringValue()|$doc.rootElement.elements().get(1).namespaceURI|"
       "$doc.rootElement.elements().get(1).namespacePrefix",
       " one |urn:p|p"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(vtltest::evaluate(c.text, context), c.expected) << c.text;
  }
}

}  // namespace
