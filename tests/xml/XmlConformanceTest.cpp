#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"
#include "xml/OutputFormat.h"
#include "xml/SAXReader.h"
#include "xml/XMLWriter.h"

namespace {

// Every NAME.xml of the reference folder, written in the compact layout,
// equals NAME.compact without its final line feed.
TEST(XmlConformance, CompactLayoutMatchesReference) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(testsupport::conformanceDir()) / "xml";
  ASSERT_TRUE(fs::is_directory(dir)) << dir;
  int cases = 0;
  xml::XMLWriter writer(xml::OutputFormat::createCompactFormat());
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".xml") continue;
    fs::path expectedPath = entry.path();
    expectedPath.replace_extension(".compact");
    std::string input = testsupport::TempDir::read(entry.path().string());
    std::string expected = testsupport::TempDir::read(expectedPath.string());
    ASSERT_FALSE(expected.empty()) << expectedPath;
    ASSERT_EQ(expected.back(), '\n') << expectedPath;
    expected.pop_back();
    xml::Document doc = xml::SAXReader().read(input);
    EXPECT_EQ(writer.toString(doc.getRootElement()), expected) << entry.path().filename();
    ++cases;
  }
  EXPECT_GT(cases, 0);
}

}  // namespace
