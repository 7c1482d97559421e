#include "zentravilo/util/Csv.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "support/TempDir.h"
#include "zentravilo/ScopedDefaults.h"

namespace zentravilo::util {
namespace {

using Row = Csv::Row;
using testing::ScopedDefaults;

TEST(CsvTest, SplitFollowsTheQuoteStates) {
  const struct {
    const char* line;
    Row values;
  } cases[] = {
      {"a;\"b;c\";\"d\"\"e\"", {"a", "b;c", "d\"e"}},
      {"a,b;c", {"a,b", "c"}},
      {"x\"y;z\"w", {"xy;zw"}},
      {"\"ab\"cd", {"abcd"}},
      {"\"ab\";cd", {"ab", "cd"}},
      {"\"\"", {""}},
      {"\"\"\"\"", {"\""}},
      {"\"open;end", {"open;end"}},
      {"", {""}},
      {";", {"", ""}},
      {"a;", {"a", ""}},
      {"a\r", {"a\r"}},
      {"ä;ö", {"ä", "ö"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Csv::split(c.line), c.values) << c.line;
}

TEST(CsvTest, TextTable) {
  const Csv csv("name;price\r\nA;1\r\n\nB;2\n\n\n");
  EXPECT_EQ(csv.getColumnCount(), 2);
  EXPECT_EQ(csv.getColumn(1), "price\r");
  ASSERT_EQ(csv.getLineCount(), 3);
  EXPECT_EQ(csv.getLines()[0], (Row{"A", "1\r"}));
  EXPECT_EQ(csv.getLines()[1], (Row{""}));  // an empty piece between rows stays
  EXPECT_EQ(csv.getLines()[2], (Row{"B", "2"}));
  EXPECT_EQ(csv.getValue(0, "name"), "A");
  EXPECT_EQ(csv.getValue(0, "price"), "");  // the header name holds the carriage return
}

TEST(CsvTest, TextWithoutLinesGivesAnEmptyTable) {
  for (const char* text : {"\n", "\n\n\n"}) {
    const Csv csv(text);
    EXPECT_EQ(csv.getColumnCount(), 0);
    EXPECT_EQ(csv.getLineCount(), 0);
    EXPECT_EQ(csv.getValueAt(0, 0), "");
  }
  const Csv empty("");
  EXPECT_EQ(empty.getColumnCount(), 1);
  EXPECT_EQ(empty.getLineCount(), 0);
}

TEST(CsvTest, FileTableIsTrimmedAndDecodedAsLatin5) {
  testsupport::TempDir dir;
  // 0xDD is a dotted capital I, 0xFE a cedilla s in ISO-8859-9.
  const std::string path = dir.write("t.csv", "  name;city \r\n\r\n   \nA;\xDDzmir\r\nB;Ku\xFE\r");
  const Csv csv{platform::File(path)};
  EXPECT_EQ(csv.getColumnCount(), 2);
  EXPECT_EQ(csv.getColumn(1), "city");
  ASSERT_EQ(csv.getLineCount(), 2);
  EXPECT_EQ(csv.getValue(0, "city"), "İzmir");
  EXPECT_EQ(csv.getValue(1, "city"), "Kuş");

  EXPECT_THROW(Csv{platform::File(dir.file("missing.csv"))}, platform::FileNotFoundException);
  const Csv blank{platform::File(dir.write("blank.csv", " \n\t\n"))};
  EXPECT_EQ(blank.getColumnCount(), 0);
  EXPECT_EQ(blank.getLineCount(), 0);
}

TEST(CsvTest, SaveQuotesEveryValueInLatin5) {
  testsupport::TempDir dir;
  Csv csv("a;b\n");
  csv.setValues({{"a\"b", "İzmir"}, {}, {"", ""}, {"€"}});
  csv.save(platform::File(dir.file("out.csv")));
  EXPECT_EQ(testsupport::TempDir::read(dir.file("out.csv")),
            "\"a\";\"b\"\n\"a\"\"b\";\"\xDDzmir\"\n\"\";\"\"\n\"?\"\n");

  // What was saved reads back as it was.
  const Csv back{platform::File(dir.file("out.csv"))};
  EXPECT_EQ(back.getValue(0, "a"), "a\"b");
  EXPECT_EQ(back.getValue(0, "b"), "İzmir");

  EXPECT_THROW(csv.save(platform::File(dir.file("no/such/folder/out.csv"))), platform::IOException);
}

TEST(CsvTest, RemoveEmptyLinesAndLastLineIsEmpty) {
  Csv csv("h1;h2\n");
  EXPECT_FALSE(csv.lastLineIsEmpty());
  csv.setValues({{"", ""}, {"a", ""}, {}, {"", "b"}, {""}});
  EXPECT_TRUE(csv.lastLineIsEmpty());
  csv.removeEmptyLines();
  EXPECT_EQ(csv.getLines(), (std::vector<Row>{{"a", ""}, {"", "b"}}));
  EXPECT_FALSE(csv.lastLineIsEmpty());
  csv.addLine({});
  EXPECT_TRUE(csv.lastLineIsEmpty());
}

TEST(CsvTest, RemoveDuplicatesComparesSecondAndThirdValueIgnoringCase) {
  Csv csv("id;a;b\nx;Foo;Bar\ny;foo;BAR\nz;foo;baz\n;;\nq;;\nr;;\ns\nt\nu;Foo\n");
  csv.removeDuplicates();
  // Rows whose key values are both empty stay, however many; a short row's
  // missing values count as empty.
  EXPECT_EQ(csv.getLines(), (std::vector<Row>{{"x", "Foo", "Bar"},
                                              {"z", "foo", "baz"},
                                              {"q", "", ""},
                                              {"r", "", ""},
                                              {"s"},
                                              {"t"},
                                              {"u", "Foo"}}));
  EXPECT_EQ(csv.getColumnCount(), 3);  // the header is untouched
}

TEST(CsvTest, RemoveDuplicatesLowersByTheDefaultLocale) {
  const char* text = "id;a;b\nx;I;c\ny;i;c\n";
  {
    ScopedDefaults defaults("UTC", "en_US");
    Csv csv(text);
    csv.removeDuplicates();
    EXPECT_EQ(csv.getLineCount(), 1);
  }
  {
    // In Turkish the capital I lowers to a dotless i.
    ScopedDefaults defaults("UTC", "tr_TR");
    Csv csv(text);
    csv.removeDuplicates();
    EXPECT_EQ(csv.getLineCount(), 2);
  }
}

TEST(CsvTest, ValueAccess) {
  Csv csv("a;b;a\n1;2;3\n4\n");
  EXPECT_EQ(csv.getValue(0, "a"), "1");  // the first column of that name
  EXPECT_EQ(csv.getValue(0, "c"), "");
  EXPECT_EQ(csv.getValue(1, "b"), "");   // the row is shorter than the header
  EXPECT_THROW(csv.getValue(2, "a"), platform::IndexOutOfBoundsException);
  EXPECT_THROW(csv.getValue(-1, "a"), platform::IndexOutOfBoundsException);

  const struct {
    int row, column;
    const char* expected;
  } cases[] = {{0, 0, "1"}, {0, 2, "3"}, {-1, 0, ""}, {2, 0, ""}, {0, 3, ""}, {0, -1, ""}, {1, 1, ""}};
  for (const auto& c : cases) EXPECT_EQ(csv.getValueAt(c.row, c.column), c.expected) << c.row << "," << c.column;

  csv.setValueAt("9", 0, 1);
  EXPECT_EQ(csv.getValueAt(0, 1), "9");
  EXPECT_THROW(csv.setValueAt("x", 2, 0), platform::IndexOutOfBoundsException);
  EXPECT_THROW(csv.setValueAt("x", 1, 1), platform::IndexOutOfBoundsException);
  EXPECT_THROW(csv.getColumn(3), platform::IndexOutOfBoundsException);
  EXPECT_THROW(csv.getColumn(-1), platform::IndexOutOfBoundsException);

  csv.addLine();
  EXPECT_EQ(csv.getLines().back(), (Row{"", "", ""}));
  csv.addLine({"x"});
  EXPECT_EQ(csv.getLineCount(), 4);
  EXPECT_TRUE(Csv::isEmpty({}));
  EXPECT_TRUE(Csv::isEmpty({"", ""}));
  EXPECT_FALSE(Csv::isEmpty({"", "a"}));
}

TEST(CsvTest, MainPrintsTheExampleRows) {
  auto captured = std::make_shared<platform::ByteArrayOutputStream>();
  platform::System::setOut(std::make_shared<platform::PrintStream>(*captured, true));
  Csv::main({});
  platform::System::setOut(
      std::make_shared<platform::PrintStream>(platform::FileOutputStream::forDescriptor(1), true));
  EXPECT_EQ(captured->bytes(), "0 a b c1 1 2 32 l1 l2 l3");
}

TEST(CsvTest, LinesOfAnyBytesSplit) {
  std::mt19937 random(1582);
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int k = 0; k < length; ++k) {
      const char common[] = {'"', ';', ',', '\n', '\r', 'a', '\0', '\xff'};
      text += random() % 2 ? common[random() % sizeof common] : static_cast<char>(random());
    }
    EXPECT_FALSE(Csv::split(text).empty());
    const Csv csv(text);
    for (int row = 0; row < csv.getLineCount(); ++row) {
      for (int column = -1; column <= csv.getColumnCount(); ++column) csv.getValueAt(row, column);
      csv.getValue(row, "a");
    }
  }
}

}  // namespace
}  // namespace zentravilo::util
