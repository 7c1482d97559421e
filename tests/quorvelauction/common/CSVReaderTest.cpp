#include "quorvelauction/common/CSVReader.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "platform/ByteArrayInputStream.h"
#include "platform/Exceptions.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/GlobalConfig.h"

using quorvelauction::common::CSVReader;
using quorvelauction::common::FileStreamFactory;
using quorvelauction::common::GlobalConfig;

namespace {

using Row = std::vector<std::string>;

Row header(const CSVReader& reader) {
  Row row;
  for (int i = 0; i < reader.getColumnCount(); ++i) row.push_back(reader.getColumn(i));
  return row;
}

// Serves files from memory, standing in for the scrambled storage.
class MemoryFiles : public FileStreamFactory {
 public:
  std::map<std::string, std::string> files;

  void mkdirs(const std::string&) override {}
  platform::OutputStreamPtr createFileOutputStream(const std::string& path) override {
    throw platform::IOException(path);
  }
  platform::OutputStreamPtr createFileOutputStream(const platform::File& file) override {
    return createFileOutputStream(file.getPath());
  }
  platform::InputStreamPtr createFileInputStream(const std::string& path) override {
    const auto found = files.find(path);
    if (found == files.end()) throw platform::FileNotFoundException(path);
    return std::make_unique<platform::ByteArrayInputStream>(found->second);
  }
  platform::InputStreamPtr createFileInputStream(const platform::File& file) override {
    return createFileInputStream(file.getPath());
  }
};

TEST(CSVReaderTest, SplitsAtCommasAndSemicolons) {
  const struct {
    const char* line;
    Row values;
  } cases[] = {
      {"a;\"b;c\";\"d\"\"e\"", {"a", "b;c", "d\"e"}},
      {"a,b;c", {"a", "b", "c"}},
      {"\"x,y\",z", {"x,y", "z"}},
      {"x\"y;z\"w", {"xy;zw"}},
      {"\"ab\"cd", {"abcd"}},
      {",", {"", ""}},
      {"", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(header(CSVReader(c.line)), c.values) << c.line;
}

TEST(CSVReaderTest, TextTableAndValues) {
  const CSVReader reader("id,name,count\r\n1,a,7\n\n2;b\n");
  EXPECT_EQ(reader.getColumnCount(), 3);
  EXPECT_EQ(reader.getColumn(2), "count\r");
  ASSERT_EQ(reader.getLineCount(), 3);
  EXPECT_EQ(reader.getValue(0, "name"), "a");
  EXPECT_EQ(reader.getValue(0, "count"), "");  // the header name holds the carriage return
  EXPECT_EQ(reader.getValue(1, "id"), "");
  EXPECT_EQ(reader.getValue(2, "name"), "b");
  EXPECT_EQ(reader.getValue(2, "missing"), "");
  EXPECT_EQ(reader.getIntValue(0, "id"), 1);
  EXPECT_THROW(reader.getIntValue(1, "id"), platform::NumberFormatException);   // empty
  EXPECT_THROW(reader.getIntValue(0, "name"), platform::NumberFormatException);  // "a"
  EXPECT_THROW(reader.getValue(3, "id"), platform::IndexOutOfBoundsException);
  EXPECT_THROW(reader.getValue(-1, "id"), platform::IndexOutOfBoundsException);
  EXPECT_THROW(reader.getColumn(3), platform::IndexOutOfBoundsException);

  const CSVReader noLines("\n\n");
  EXPECT_EQ(noLines.getColumnCount(), 0);
  EXPECT_EQ(noLines.getLineCount(), 0);
}

class CSVReaderFileTest : public ::testing::Test {
 protected:
  void SetUp() override { GlobalConfig::setFileStreamFactoryHelper(&files_); }
  void TearDown() override { GlobalConfig::setFileStreamFactoryHelper(nullptr); }
  MemoryFiles files_;
};

TEST_F(CSVReaderFileTest, ReadsThroughTheFileStreamFactoryAsLatin1) {
  // Nothing of this is on the disk: only the factory knows the file.
  files_.files["/app/htdocs/table.csv"] = "  id;city \r\n\r\n \n1,M\xFCnchen\r\n2;\xDDzmir\r";
  const CSVReader reader{platform::File("/app/htdocs/table.csv")};
  EXPECT_EQ(header(reader), (Row{"id", "city"}));
  ASSERT_EQ(reader.getLineCount(), 2);
  EXPECT_EQ(reader.getValue(0, "city"), "München");
  EXPECT_EQ(reader.getValue(1, "city"), "Ýzmir");  // 0xDD is Y acute in ISO-8859-1
  EXPECT_EQ(reader.getIntValue(1, "id"), 2);

  EXPECT_THROW(CSVReader{platform::File("/app/htdocs/missing.csv")}, platform::FileNotFoundException);
}

}  // namespace
