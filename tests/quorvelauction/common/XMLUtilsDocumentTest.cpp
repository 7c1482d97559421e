#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"
#include "xml/DocumentException.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::common::XMLUtils;
using testsupport::TempDir;

namespace {

// Files go through the server's factory: below "htdocs" they are scrambled.
class XMLUtilsDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
  }
  void TearDown() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)), true));
    platform::System::setErr(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(2)), true));
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
  }

  // Writes bytes through the factory (scrambled when the path says so).
  std::string store(const std::string& name, const std::string& bytes) {
    std::string path = dir_.file(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    auto out = factory_.createFileOutputStream(path);
    out->write(bytes.data(), 0, static_cast<int>(bytes.size()));
    out->close();
    return path;
  }
  std::string plainOf(const std::string& path) {
    auto in = factory_.createFileInputStream(path);
    std::string bytes = in->readAll();
    in->close();
    return bytes;
  }
  static int lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  TempDir dir_;
  quorvelauction::offline::Server::CryptedStreams factory_;
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
};

TEST_F(XMLUtilsDocumentTest, FileToDocReadsScrambledUtf8) {
  std::string path = store("htdocs/app/WEB-INF/x/config/messages.xml",
                           "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><m>Gr\xC3\xB6\xC3\x9F" "e</m>");
  ASSERT_EQ(TempDir::read(path).find("<m>"), std::string::npos) << "stored scrambled";
  xml::Document doc = XMLUtils::fileToDoc(path);
  ASSERT_TRUE(doc.getRootElement());
  EXPECT_EQ(doc.getRootElement().getText(), "Gr\xC3\xB6\xC3\x9F" "e");
  EXPECT_EQ(err_.bytes(), "");
}

TEST_F(XMLUtilsDocumentTest, FileToDocNeverFails) {
  xml::Document missing = XMLUtils::fileToDoc(dir_.file("missing.xml"));
  EXPECT_FALSE(missing.getRootElement());
  EXPECT_EQ(lines(err_.bytes()), 1) << err_.bytes();
  err_.reset();
  xml::Document broken = XMLUtils::fileToDoc(store("broken.xml", "<a><b></a>"));
  EXPECT_FALSE(broken.getRootElement());
  EXPECT_EQ(lines(err_.bytes()), 1) << err_.bytes();
  EXPECT_NE(err_.bytes().find("DocumentException: Error on line 1"), std::string::npos) << err_.bytes();
  EXPECT_EQ(XMLUtils::asCompactString(broken), "");
}

TEST_F(XMLUtilsDocumentTest, StringToDocPassesParseFailures) {
  EXPECT_EQ(XMLUtils::asCompactString(XMLUtils::stringToDoc("<a> x </a>")), "<a>x</a>");
  EXPECT_THROW(XMLUtils::stringToDoc("<a>"), xml::DocumentException);
  EXPECT_THROW(XMLUtils::stringToDoc(""), xml::DocumentException);
}

TEST_F(XMLUtilsDocumentTest, GetByPath) {
  xml::Element root = XMLUtils::stringToDoc(
      "<r><a><x/></a><a><b id=\"2\"/></a><c><d><e id=\"5\"/><e id=\"6\"/></d></c></r>").getRootElement();
  EXPECT_EQ(XMLUtils::getByPath(root, "c/d/e").attributeValue("id"), "5");
  EXPECT_EQ(XMLUtils::getByPath(root, "c/d/").getName(), "d");
  EXPECT_EQ(XMLUtils::getByPath(root, "/"), root);  // nothing but empty names: no step
  const std::pair<const char*, const char*> failures[] = {
      {"a/b", "element b not found"},  // the first a has no b, the second is not tried
      {"x", "element x not found"},
      {"", "element  not found"},
      {"/c", "element  not found"},
      {"c//d", "element  not found"},
  };
  for (auto [path, message] : failures) {
    try {
      XMLUtils::getByPath(root, path);
      ADD_FAILURE() << path;
    } catch (const platform::Exception& e) {
      EXPECT_EQ(std::string(e.what()), message) << path;
      EXPECT_STREQ(e.typeName(), "Exception");
    }
  }
}

TEST_F(XMLUtilsDocumentTest, CompactAndPrettyText) {
  xml::Document doc = XMLUtils::stringToDoc(
      "<?xml version=\"1.0\"?>\n<r><t>  two   words  </t><e/></r>");
  EXPECT_EQ(XMLUtils::asCompactString(doc), "<r><t>two words</t><e/></r>");
  EXPECT_EQ(XMLUtils::asCompactString(doc.getRootElement().element("t")), "<t>two words</t>");
  std::string pretty = XMLUtils::prettyPrint(doc);
  EXPECT_EQ(pretty, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\n  <t>two words</t>\n  <e/>\n</r>\n");
  EXPECT_EQ(XMLUtils::prettyPrint(doc.getRootElement()), "<r>\n  <t>two words</t>\n  <e/>\n</r>");
  EXPECT_EQ(out_.bytes(), pretty + "\n" + "<r>\n  <t>two words</t>\n  <e/>\n</r>\n");
  EXPECT_EQ(XMLUtils::prettyPrint(xml::Element()), "");
  EXPECT_EQ(lines(err_.bytes()), 1);
}

TEST_F(XMLUtilsDocumentTest, ParseId) {
  xml::Element e = XMLUtils::stringToDoc(
      "<e a=\"42\" b=\"-7\" c=\"+7\" d=\" 42\" f=\"4x\" g=\"\" h=\"2147483648\" i=\"-2147483648\"/>")
      .getRootElement();
  const std::pair<const char*, int> cases[] = {
      {"a", 42}, {"b", -7}, {"c", -1}, {"d", -1}, {"f", -1}, {"g", -1}, {"h", -1}, {"i", INT32_MIN}, {"z", -1},
  };
  for (auto [name, id] : cases) EXPECT_EQ(XMLUtils::parseId(e.attribute(name)), id) << name;
  EXPECT_EQ(XMLUtils::parseId(xml::Attribute()), -1);
}

TEST_F(XMLUtilsDocumentTest, CopyLocalBetweenScrambledAndPlain) {
  std::string content = "<collector>\xC3\xA4</collector>";
  std::string app = store("htdocs/app/WEB-INF/user/collector.xml", content);
  std::string user = dir_.file("user/collector.xml");
  std::filesystem::create_directories(dir_.file("user"));
  XMLUtils::copyLocal(app, user);
  EXPECT_EQ(TempDir::read(user), content);  // plain outside the web root
  std::string back = dir_.file("htdocs/app/WEB-INF/user/copy.xml");
  XMLUtils::copyLocal(user, back);
  EXPECT_NE(TempDir::read(back), content);
  EXPECT_EQ(TempDir::read(back), TempDir::read(app));  // scrambled again, same bytes
}

TEST_F(XMLUtilsDocumentTest, CopyLocalEdgeCases) {
  std::string dest = dir_.write("dest.txt", "old content that is longer");
  XMLUtils::copyLocal(dir_.file("missing.txt"), dest);
  EXPECT_EQ(TempDir::read(dest), "old content that is longer");
  XMLUtils::copyLocal(dir_.write("short.txt", "new"), dest);
  EXPECT_EQ(TempDir::read(dest), "new");
  XMLUtils::copyLocal(dir_.write("empty.txt", ""), dest);
  EXPECT_TRUE(std::filesystem::exists(dest));
  EXPECT_EQ(TempDir::read(dest), "");
  std::string big(100000, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  XMLUtils::copyLocal(dir_.write("big.bin", big), dest);
  EXPECT_EQ(TempDir::read(dest), big);
  EXPECT_THROW(XMLUtils::copyLocal(dir_.write("src.txt", "x"), dir_.file("no/such/folder/f")),
               platform::IOException);
}

TEST_F(XMLUtilsDocumentTest, WebfileToString) {
  EXPECT_EQ(XMLUtils::webfileToString(dir_.file("missing")), "");
  EXPECT_EQ(XMLUtils::webfileToString(dir_.write("latin.txt", "\xE4" "A")), "\xC3\xA4" "A");
  std::string path = store("htdocs/page.html", "plain \xFC");
  EXPECT_EQ(XMLUtils::webfileToString(path), "plain \xC3\xBC");
}

}  // namespace
