#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "xml/DocumentHelper.h"
#include "xml/SAXReader.h"

namespace {

using xml::Attribute;
using xml::Document;
using xml::Element;

Document parse(const char* text) { return xml::SAXReader().read(text); }

TEST(XmlModel, NamesAndNamespaces) {
  Document doc = parse(
      "<s:Env xmlns:s=\"urn:s\" xmlns=\"urn:d\" a=\"1\"><s:Body><f p:x=\"v\" xmlns:p=\"urn:p\"/>"
      "</s:Body></s:Env>");
  Element env = doc.getRootElement();
  EXPECT_EQ(env.getName(), "Env");
  EXPECT_EQ(env.getQualifiedName(), "s:Env");
  EXPECT_EQ(env.getNamespacePrefix(), "s");
  EXPECT_EQ(env.getNamespaceURI(), "urn:s");
  EXPECT_EQ(env.declaredNamespaces(),
            (std::vector<xml::Namespace>{{"s", "urn:s"}, {"", "urn:d"}}));
  EXPECT_EQ(env.attributeCount(), 1);
  Element body = env.element("Body");
  ASSERT_TRUE(body);
  EXPECT_EQ(body, env.element("s:Body"));
  EXPECT_FALSE(env.element("t:Body"));
  Element f = body.element("f");
  EXPECT_EQ(f.getNamespaceURI(), "urn:d");
  EXPECT_EQ(f.attributeValue("x"), "v");
  EXPECT_EQ(f.attribute("p:x").getName(), "x");
  EXPECT_EQ(f.attribute("p:x").getNamespacePrefix(), "p");
  EXPECT_EQ(f.getParent(), body);
  EXPECT_FALSE(env.getParent());
  EXPECT_TRUE(env.isRootElement());
  EXPECT_FALSE(f.isRootElement());
}

TEST(XmlModel, Attributes) {
  Document doc = parse("<a z=\"1\" y=\"2\" x=\"3\"/>");
  Element a = doc.getRootElement();
  std::vector<std::string> names;
  for (const Attribute& at : a.attributes()) names.push_back(at.getName() + "=" + at.getValue());
  EXPECT_EQ(names, (std::vector<std::string>{"z=1", "y=2", "x=3"}));
  EXPECT_EQ(a.attribute(1).getValue(), "2");
  EXPECT_FALSE(a.attribute(3));
  EXPECT_FALSE(a.attribute(-1));
  EXPECT_FALSE(a.attribute("w"));
  EXPECT_EQ(a.attributeValue("w"), std::nullopt);
  EXPECT_EQ(a.attributeValue("w", "fallback"), "fallback");

  a.addAttribute("y", "20").addAttribute("w", "4");  // replace in place, add at the end
  EXPECT_EQ(a.asXML(), "<a z=\"1\" y=\"20\" x=\"3\" w=\"4\"/>");
  Attribute z = a.attribute("z");
  z.setValue("10");
  EXPECT_EQ(a.attributeValue("z"), "10");
  EXPECT_EQ(z.getParent(), a);
  EXPECT_TRUE(a.removeAttribute("z"));
  EXPECT_FALSE(a.removeAttribute("z"));
  EXPECT_EQ(z.getValue(), "");  // a handle to a removed attribute stays harmless
  z.setValue("back");
  EXPECT_FALSE(a.attribute("z"));
  EXPECT_EQ(a.attributeCount(), 3);
  EXPECT_THROW(a.addAttribute("bad name", "v"), platform::IllegalArgumentException);
  EXPECT_THROW(a.addAttribute("", "v"), platform::IllegalArgumentException);
}

TEST(XmlModel, TextIsOwnTextAndCharacterData) {
  Element a = parse("<a>  one <b>inner</b><![CDATA[ two ]]>\n three  </a>").getRootElement();
  EXPECT_EQ(a.getText(), "  one  two \n three  ");
  EXPECT_EQ(a.getTextTrim(), "one two three");
  EXPECT_EQ(a.element("b").getText(), "inner");
  EXPECT_EQ(parse("<a/>").getRootElement().getText(), "");

  a.setText("new");
  EXPECT_EQ(a.asXML(), "<a><b>inner</b>new</a>");
  a.addText(" & more");
  EXPECT_EQ(a.getText(), "new & more");
}

TEST(XmlModel, ChildrenInOrderAndByName) {
  Element r = parse("<r><a i=\"1\"/><b/><a i=\"2\"/>text<c/></r>").getRootElement();
  std::vector<std::string> all;
  for (const Element& e : r.elements()) all.push_back(e.getName());
  EXPECT_EQ(all, (std::vector<std::string>{"a", "b", "a", "c"}));
  std::vector<Element> as = r.elements("a");
  ASSERT_EQ(as.size(), 2u);
  EXPECT_EQ(as[1].attributeValue("i"), "2");
  EXPECT_EQ(r.element("a").attributeValue("i"), "1");
  EXPECT_TRUE(r.elements("x").empty());
  EXPECT_FALSE(r.element("x"));
}

TEST(XmlModel, AddAndRemoveChildren) {
  Document doc = xml::DocumentHelper::createDocument();
  EXPECT_FALSE(doc.getRootElement());
  Element settings = doc.addElement("settings");
  EXPECT_THROW(doc.addElement("second"), platform::IllegalStateException);
  settings.addElement("a").setText("1");
  Element b = settings.addElement("b");
  b.addAttribute("v", "x<y");
  settings.addElement("c");
  EXPECT_EQ(settings.asXML(), "<settings><a>1</a><b v=\"x&lt;y\"/><c/></settings>");

  EXPECT_TRUE(settings.remove(b));
  EXPECT_FALSE(settings.remove(b));
  EXPECT_FALSE(settings.remove(settings));
  EXPECT_EQ(doc.asXML(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings><a>1</a><c/></settings>");
  // The removed element is detached but still readable.
  EXPECT_FALSE(b.getParent());
  EXPECT_EQ(b.attributeValue("v"), "x<y");
  EXPECT_EQ(doc.getRootElement(), settings);
  EXPECT_THROW(settings.addElement("a b"), platform::IllegalArgumentException);
  EXPECT_THROW(settings.addElement("1a"), platform::IllegalArgumentException);
}

TEST(XmlModel, ElementKeepsItsDocumentAlive) {
  Element item;
  {
    Document doc = parse("<a><item k=\"v\">t</item></a>");
    item = doc.getRootElement().element("item");
  }
  EXPECT_EQ(item.getText(), "t");
  EXPECT_EQ(item.getDocument().getRootElement().getName(), "a");
  Document copy = item.getDocument();
  EXPECT_EQ(copy, item.getDocument());
}

TEST(XmlModel, NullHandlesFailClearly) {
  Element none;
  EXPECT_FALSE(none);
  EXPECT_TRUE(none.isNull());
  EXPECT_THROW(none.getName(), platform::NullPointerException);
  EXPECT_THROW(none.element("a"), platform::NullPointerException);
  EXPECT_THROW(none.asXML(), platform::NullPointerException);
  EXPECT_THROW(Attribute().getValue(), platform::NullPointerException);
}

}  // namespace
