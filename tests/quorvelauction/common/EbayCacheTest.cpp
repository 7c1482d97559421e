#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ByteArrayOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/fixtures/ebaycache/TestSite.h"
#include "support/TempDir.h"
#include "xml/DocumentException.h"

namespace quorvelauction::common {
namespace {

using testsupport::TempDir;

class EbayCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { site_.install(); }

  // Writes a file below the site folder, replacing the default one.
  void write(const std::string& name, const std::string& content) { site_.write(name, content); }
  std::unique_ptr<EbayCache> build() { return site_.build(); }
  std::string out() const { return site_.out(); }
  std::string err() const { return site_.err(); }

  ebaycache::TestSite site_;
};

std::vector<int32_t> ids(const CategoryList& list) {
  std::vector<int32_t> result;
  for (const Category* c : list) result.push_back(c->getId());
  return result;
}

std::vector<int32_t> keys(const CategoryMap& map) {
  std::vector<int32_t> result;
  for (const auto& entry : map) result.push_back(entry.first);
  return result;
}

const CategoryList& listOf(const EbayCache& cache, int32_t parentId) {
  static const CategoryList none;
  auto found = cache.parentCategories.find(parentId);
  return found == cache.parentCategories.end() ? none : found->second;
}

const Category& at(const EbayCache& cache, int32_t id) {
  auto found = cache.categories.find(id);
  if (found == cache.categories.end()) throw std::runtime_error("no category " + std::to_string(id));
  return *found->second;
}

TEST_F(EbayCacheTest, BuildsTheTreeInFileOrder) {
  auto cache = build();
  EXPECT_EQ(keys(cache->categories), (std::vector<int32_t>{10, 11, 12, 20, 111}));
  EXPECT_EQ(ids(listOf(*cache, -1)), (std::vector<int32_t>{10, 20}));
  EXPECT_EQ(ids(listOf(*cache, 10)), (std::vector<int32_t>{12, 11}));
  EXPECT_EQ(ids(listOf(*cache, 11)), (std::vector<int32_t>{111}));
  EXPECT_EQ(ids(at(*cache, 10).getChildren()), (std::vector<int32_t>{11, 12}));

  const std::map<int32_t, int32_t> leaves = {{10, 0}, {11, 0}, {12, 1}, {20, 1}, {111, 1}};
  for (auto [id, leaf] : leaves) EXPECT_EQ(at(*cache, id).getLeaf(), leaf) << id;
  EXPECT_EQ(at(*cache, 10).getParentId(), -1);
  EXPECT_EQ(at(*cache, 111).getParentId(), 11);
  EXPECT_TRUE(at(*cache, 10).isLotsize());
  EXPECT_FALSE(at(*cache, 11).isLotsize());
  EXPECT_EQ(at(*cache, 10).getName(), "Home+%26+Garden");
  EXPECT_EQ(at(*cache, 12).getName(), "Pl%C3%A4nts%2C+outdoor");
  EXPECT_EQ(at(*cache, 20).getMinimumReservePrice(), "2.00");
  EXPECT_FALSE(at(*cache, 20).isReservePriceAllowed());
  EXPECT_FALSE(at(*cache, 20).isReduceReserveAllowed());

  EXPECT_EQ(out(),
            "categories version 7\n"
            "global reserve price settings:\n"
            "reservePriceAllowed: false\n"
            "reduceReserveAllowed: false\n"
            "minimumReservePrice: 2.00\n"
            "5 categories loaded\n");
}

TEST_F(EbayCacheTest, MarksExemptionsAndMapsCharacteristicsSets) {
  auto cache = build();
  // Only the site-wide exclusions of the condition set count, and only the
  // named category itself is marked.
  EXPECT_TRUE(at(*cache, 11).isConditionExcluded());
  EXPECT_FALSE(at(*cache, 111).isConditionExcluded());
  EXPECT_FALSE(at(*cache, 20).isConditionExcluded());
  EXPECT_TRUE(at(*cache, 12).isReturnPolicyExcluded());
  EXPECT_FALSE(at(*cache, 111).isReturnPolicyExcluded());
  EXPECT_FALSE(at(*cache, 11).isReturnPolicyExcluded());

  EXPECT_EQ(at(*cache, 111).getCsId(), 500);
  EXPECT_EQ(at(*cache, 11).getCsId(), 0);

  xml::Element set = cache->getCharacteristicsSets(500);
  ASSERT_TRUE(set);
  EXPECT_EQ(set.getName(), "set");
  EXPECT_EQ(set.attributeValue("id"), "500");
  EXPECT_EQ(set.element("name").getText(), "Chair & Co");
  EXPECT_FALSE(cache->getCharacteristicsSets(501));
  EXPECT_THROW(cache->getCharacteristicsSets(502), xml::DocumentException);
}

TEST_F(EbayCacheTest, FeaturesSetMinimumReservePriceForTheSubtree) {
  auto cache = build();
  for (int32_t id : {11, 111}) {
    EXPECT_EQ(at(*cache, id).getMinimumReservePrice(), "9.50") << id;
    EXPECT_TRUE(at(*cache, id).isReservePriceAllowed()) << id;
  }
  for (int32_t id : {10, 12, 20}) {
    EXPECT_EQ(at(*cache, id).getMinimumReservePrice(), "2.00") << id;
    EXPECT_FALSE(at(*cache, id).isReservePriceAllowed()) << id;
  }
}

TEST_F(EbayCacheTest, InternationalServicesStartAtFiftyThousand) {
  auto cache = build();
  EXPECT_FALSE(cache->isInternationalServiceOption("Domestic"));
  EXPECT_TRUE(cache->isInternationalServiceOption("Abroad"));
  EXPECT_FALSE(cache->isInternationalServiceOption("abroad"));
  EXPECT_EQ(cache->internationalShippingServices.size(), 1u);
}

TEST_F(EbayCacheTest, HeadLines) {
  struct Case {
    const char* head;
    bool reservePriceAllowed;
    bool reduceReserveAllowed;
    std::optional<std::string> minimumReservePrice;
    const char* printed;
  };
  const Case cases[] = {
      {"1\n1\n1\n3.00\n\n", true, true, "3.00", "true\nreduceReserveAllowed: true\nminimumReservePrice: 3.00"},
      {"1\ntrue\n 1\n 4 \n\n", false, false, " 4 ", "false\nreduceReserveAllowed: false\nminimumReservePrice:  4 "},
      {"1\n1\n0\n\n\n", true, false, "", "true\nreduceReserveAllowed: false\nminimumReservePrice: "},
  };
  for (const Case& c : cases) {
    SetUp();
    write("ebay-cache/categories.txt", std::string(c.head) + "10\t10\t0\tA\t0\t0\n");
    auto cache = build();
    const Category& a = at(*cache, 10);
    EXPECT_EQ(a.isReservePriceAllowed(), c.reservePriceAllowed) << c.head;
    EXPECT_EQ(a.isReduceReserveAllowed(), c.reduceReserveAllowed) << c.head;
    EXPECT_EQ(a.getMinimumReservePrice(), c.minimumReservePrice) << c.head;
    EXPECT_NE(out().find(std::string("reservePriceAllowed: ") + c.printed + "\n"), std::string::npos)
        << out();
  }
}

TEST_F(EbayCacheTest, HeadWithoutEmptyLineOrFourthLineHasNoCategories) {
  const std::pair<const char*, const char*> cases[] = {
      {"1\n0\n0\n1.00\n10\t10\t0\tA\t0\t0\n", "minimumReservePrice: 1.00\n"},
      {"1\n0\n0", "minimumReservePrice: null\n"},
  };
  for (auto [content, printed] : cases) {
    SetUp();
    write("ebay-cache/categories.txt", content);
    auto cache = build();
    EXPECT_TRUE(cache->categories.empty());
    EXPECT_TRUE(cache->parentCategories.empty());
    EXPECT_NE(out().find(printed), std::string::npos) << out();
    EXPECT_NE(out().find("\n0 categories loaded\n"), std::string::npos) << out();
  }
}

TEST_F(EbayCacheTest, ExcludedCategoriesAreSkippedAndTheirChildrenStayUnlinked) {
  write("config/category-exclude.txt",
        "# not a number\n"
        "   \n"
        "11 furniture is not sold here\n"
        "20\tnot split at tabs\n");
  write("ebay-cache/categories.txt",
        "1\n0\n0\n1\n\n"
        "10\t10\t0\tHome\t0\t0\n"
        "11\tmalformed\n"
        "20\t20\t0\tBooks\t0\t0\n"
        "111\t11\t0\tChairs\t0\t0\n");
  auto cache = build();
  EXPECT_EQ(keys(cache->categories), (std::vector<int32_t>{10, 20, 111}));
  EXPECT_EQ(ids(listOf(*cache, 10)), std::vector<int32_t>{});
  EXPECT_EQ(ids(listOf(*cache, 11)), (std::vector<int32_t>{111}));
  EXPECT_EQ(at(*cache, 10).getLeaf(), 1);
  EXPECT_EQ(at(*cache, 111).getLeaf(), 1);
  EXPECT_TRUE(at(*cache, 10).getChildren().empty());
  EXPECT_EQ(out().rfind("exclude file: " + site_.siteFolder() + "/config/category-exclude.txt\n", 0), 0u)
      << out();
}

TEST_F(EbayCacheTest, LaterLineOfAnIdReplacesTheEarlierInTheIdTable) {
  write("ebay-cache/categories.txt",
        "1\n0\n0\n1\n\n"
        "10\t10\t0\tHome\t0\t0\n"
        "11\t10\t0\tOld\t0\t0\n"
        "11\t10\t0\tNew\t0\t0\n");
  auto cache = build();
  EXPECT_EQ(cache->categories.size(), 2u);
  EXPECT_EQ(at(*cache, 11).getName(), "New");
  const CategoryList& under10 = listOf(*cache, 10);
  ASSERT_EQ(under10.size(), 2u);
  EXPECT_EQ(under10[0]->getName(), "Old");
  EXPECT_EQ(under10[1]->getName(), "New");
  ASSERT_EQ(at(*cache, 10).getChildren().size(), 1u);
  EXPECT_EQ(at(*cache, 10).getChildren()[0]->getName(), "New");
  EXPECT_NE(out().find("\n2 categories loaded\n"), std::string::npos);
}

TEST_F(EbayCacheTest, LinesAreCutAtAnyLineEndAndBadBytesBecomeReplacementCharacters) {
  write("ebay-cache/categories.txt",
        "1\r\n0\r0\n1\r\n\r\n"
        "10\t10\t0\tA\xFF\t0\t0\r\n"
        "\t11\t10\t0\tB\t0\t0\t\t\r\n");
  auto cache = build();
  EXPECT_EQ(at(*cache, 10).getName(), "A%EF%BF%BD");
  EXPECT_EQ(at(*cache, 11).getParentId(), 10);
  EXPECT_EQ(at(*cache, 10).getMinimumReservePrice(), "1");
}

// Each case: category lines below a site default of false for both flags,
// and the flags every category ends with.
TEST_F(EbayCacheTest, OverridesInvertTheInheritedFlags) {
  struct Case {
    const char* name;
    const char* lines;
    std::map<int32_t, std::pair<bool, bool>> flags;  // id -> rpa, rra
  };
  const Case cases[] = {
      {"one override covers its subtree",
       "10\t10\t0\tA\t1\t0\n11\t10\t0\tB\t0\t0\n111\t11\t0\tC\t0\t0\n20\t20\t0\tD\t0\t1\n",
       {{10, {true, false}}, {11, {true, false}}, {111, {true, false}}, {20, {false, true}}}},
      {"an override below another inverts what the upper one left",
       "111\t11\t0\tC\t0\t0\n11\t10\t0\tB\t1\t1\n10\t10\t0\tA\t1\t1\n12\t10\t0\tE\t0\t0\n",
       {{10, {true, true}}, {11, {false, false}}, {111, {false, false}}, {12, {true, true}}}},
      {"values other than 1 do nothing", "10\t10\t0\tA\t2\t-1\n11\t10\t0\tB\t0\t0\n",
       {{10, {false, false}}, {11, {false, false}}}},
      {"a parent loop follows the trees, walked from its lowest id",
       "10\t10\t0\tA\t1\t0\n11\t10\t0\tB\t0\t0\n30\t31\t0\tL\t1\t0\n31\t30\t0\tM\t1\t1\n"
       "32\t31\t0\tN\t0\t1\n",
       {{10, {true, false}},
        {11, {true, false}},
        {30, {false, true}},
        {31, {false, true}},
        {32, {false, false}}}},
  };
  for (const Case& c : cases) {
    SetUp();
    write("ebay-cache/categories.txt", std::string("1\n0\n0\n1\n\n") + c.lines);
    write("ebay-cache/GetCategoryFeatures.xml", "<r/>");
    auto cache = build();
    for (const auto& [id, expected] : c.flags) {
      EXPECT_EQ(at(*cache, id).isReservePriceAllowed(), expected.first) << c.name << " " << id;
      EXPECT_EQ(at(*cache, id).isReduceReserveAllowed(), expected.second) << c.name << " " << id;
    }
  }
}

TEST_F(EbayCacheTest, FeaturesWinOverAnOverride) {
  write("ebay-cache/categories.txt",
        "1\n1\n0\n1\n\n10\t10\t0\tA\t1\t0\n11\t10\t0\tB\t0\t0\n111\t11\t0\tC\t0\t0\n");
  write("ebay-cache/getcategory2cs.xml",
        "<r><SiteWideCharacteristicSets/><MappedCategoryArray/></r>");
  auto cache = build();
  EXPECT_FALSE(at(*cache, 10).isReservePriceAllowed());
  for (int32_t id : {11, 111}) {
    EXPECT_TRUE(at(*cache, id).isReservePriceAllowed()) << id;
    EXPECT_EQ(at(*cache, id).getMinimumReservePrice(), "9.50") << id;
  }
}

TEST_F(EbayCacheTest, RootCategoryMakesItsChildrenTheTopLevel) {
  write("config/config.properties", "rootCategory=10\n");
  auto cache = build();
  EXPECT_EQ(keys(cache->categories), (std::vector<int32_t>{11, 12, 111}));
  EXPECT_EQ(ids(listOf(*cache, -1)), (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(ids(listOf(*cache, 10)), (std::vector<int32_t>{11, 12}));
  EXPECT_EQ(ids(listOf(*cache, 11)), (std::vector<int32_t>{111}));
  EXPECT_EQ(cache->parentCategories.size(), 3u);
  EXPECT_EQ(at(*cache, 11).getParentId(), -1);
  EXPECT_EQ(at(*cache, 12).getParentId(), -1);
  EXPECT_EQ(at(*cache, 111).getParentId(), 11);
  EXPECT_EQ(at(*cache, 11).getLeaf(), 0);
  EXPECT_EQ(at(*cache, 12).getLeaf(), 1);
  EXPECT_EQ(at(*cache, 111).getLeaf(), 1);
  EXPECT_NE(out().find("\nnew root category, now 3 categories loaded\n"), std::string::npos) << out();
}

TEST_F(EbayCacheTest, RootCategoryThatIsNotLoadedChangesNothing) {
  for (const char* setting : {"rootCategory=4242\n", "rootCategory=111\n"}) {
    SetUp();
    write("config/config.properties", setting);
    auto cache = build();
    bool unknown = std::string(setting).find("4242") != std::string::npos;
    if (unknown) {
      EXPECT_EQ(cache->categories.size(), 5u);
      EXPECT_EQ(ids(listOf(*cache, -1)), (std::vector<int32_t>{10, 20}));
      EXPECT_NE(out().find("new root category, now 5 categories loaded\n"), std::string::npos);
    } else {
      // A leaf as root leaves nothing below it.
      EXPECT_TRUE(cache->categories.empty());
      EXPECT_TRUE(listOf(*cache, -1).empty());
      EXPECT_NE(out().find("new root category, now 0 categories loaded\n"), std::string::npos);
    }
  }
  SetUp();
  write("config/config.properties", "rootCategory=\n");
  build();
  EXPECT_EQ(out().find("new root category"), std::string::npos);
}

TEST_F(EbayCacheTest, BadAttributeLinesAreReportedAndSkipped) {
  write("ebay-cache/attributes.txt",
        "x\t%3Ca%2F%3E\n"
        "600\n"
        "601\t%3Ca%zz\n"
        "\n"
        "  602\t%3Cok%2F%3E  \n"
        "603\t%3Cold%2F%3E\n"
        "603\t%3Cnew%2F%3E\n");
  auto cache = build();
  EXPECT_FALSE(cache->getCharacteristicsSets(600));
  EXPECT_FALSE(cache->getCharacteristicsSets(601));
  EXPECT_EQ(cache->getCharacteristicsSets(602).getName(), "ok");
  EXPECT_EQ(cache->getCharacteristicsSets(603).getName(), "new");
  for (const char* line : {"error in line: x\t%3Ca%2F%3E\n", "error in line: 600\n",
                           "error in line: 601\t%3Ca%zz\n"}) {
    EXPECT_NE(out().find(line), std::string::npos) << line;
  }
  EXPECT_NE(err().find("NumberFormatException"), std::string::npos) << err();
  EXPECT_NE(err().find("DecoderException"), std::string::npos) << err();
}

// Every file fault that the build cannot absorb fails the constructor.
TEST_F(EbayCacheTest, FailsOnFilesItCannotAbsorb) {
  const std::string categoriesHead = "1\n0\n0\n1\n\n";
  const std::string mappedHead = "<r><SiteWideCharacteristicSets>";
  struct Case {
    const char* file;
    std::string content;  // "" removes the file
  };
  const Case cases[] = {
      {"ebay-cache/categories.txt", ""},
      {"ebay-cache/categories.txt", "v1\n0\n0\n1\n\n"},
      {"ebay-cache/categories.txt", "1\n0\n"},
      {"ebay-cache/categories.txt", categoriesHead + "10\t10\t0\tA\t0\n"},
      {"ebay-cache/categories.txt", categoriesHead + "10\tx\t0\tA\t0\t0\n"},
      {"ebay-cache/categories.txt", categoriesHead + "10\t10\t0\tA\tx\t0\n"},
      {"ebay-cache/categories.txt", categoriesHead + "10\t10\t0\tA\t0\t1.5\n"},
      {"ebay-cache/categories.txt", categoriesHead + "ten\t10\t0\tA\t0\t0\n"},
      {"ebay-cache/attributes.txt", ""},
      {"ebay-cache/getcategory2cs.xml", ""},
      {"ebay-cache/getcategory2cs.xml", "<r><unclosed></r>"},
      {"ebay-cache/getcategory2cs.xml", "<r><MappedCategoryArray/></r>"},
      {"ebay-cache/getcategory2cs.xml", "<r><SiteWideCharacteristicSets/></r>"},
      {"ebay-cache/getcategory2cs.xml",
       mappedHead + "<CharacteristicsSet/></SiteWideCharacteristicSets><MappedCategoryArray/></r>"},
      {"ebay-cache/getcategory2cs.xml",
       mappedHead + "<CharacteristicsSet><AttributeSetID>1950</AttributeSetID></CharacteristicsSet>"
                    "<ExcludeCategoryID>x</ExcludeCategoryID></SiteWideCharacteristicSets>"
                    "<MappedCategoryArray/></r>"},
      {"ebay-cache/getcategory2cs.xml",
       mappedHead + "</SiteWideCharacteristicSets><MappedCategoryArray><Category/></MappedCategoryArray></r>"},
      {"ebay-cache/getcategory2cs.xml",
       mappedHead + "</SiteWideCharacteristicSets><MappedCategoryArray><Category>"
                    "<CategoryID>10</CategoryID></Category></MappedCategoryArray></r>"},
      {"ebay-cache/getcategory2cs.xml",
       mappedHead + "</SiteWideCharacteristicSets><MappedCategoryArray><Category>"
                    "<CategoryID>10</CategoryID><CharacteristicsSets><AttributeSetID>y"
                    "</AttributeSetID></CharacteristicsSets></Category></MappedCategoryArray></r>"},
      {"ebay-cache/GetCategoryFeatures.xml", ""},
      {"ebay-cache/GetCategoryFeatures.xml",
       "<r><Category><MinimumReservePrice>1</MinimumReservePrice></Category></r>"},
      {"ebay-cache/GetCategoryFeatures.xml",
       "<r><Category><CategoryID> 10</CategoryID><MinimumReservePrice>1</MinimumReservePrice></Category></r>"},
      {"ebay-cache/ShippingServiceDetails.xml", ""},
      {"ebay-cache/ShippingServiceDetails.xml",
       "<r><ShippingServiceDetails><ShippingServiceID>1</ShippingServiceID></ShippingServiceDetails></r>"},
      {"ebay-cache/ShippingServiceDetails.xml",
       "<r><ShippingServiceDetails><ShippingService>A</ShippingService></ShippingServiceDetails></r>"},
      {"ebay-cache/ShippingServiceDetails.xml",
       "<r><ShippingServiceDetails><ShippingService>A</ShippingService>"
       "<ShippingServiceID>5e4</ShippingServiceID></ShippingServiceDetails></r>"},
      {"config/config.properties", "rootCategory=ten\n"},
      {"config/config.properties", ""},
  };
  for (const Case& c : cases) {
    SetUp();
    if (c.content.empty()) {
      site_.remove(c.file);
    } else {
      write(c.file, c.content);
    }
    EXPECT_THROW(build(), platform::Exception) << c.file << ": " << c.content;
  }
}

TEST_F(EbayCacheTest, AncestorWalks) {
  auto cache = build();
  const std::pair<int32_t, int32_t> main[] = {{111, 10}, {11, 10}, {10, 10}, {20, 20}, {404, 404}};
  for (auto [id, expected] : main) EXPECT_EQ(cache->getMainCategory(id), expected) << id;
  const std::pair<int32_t, int32_t> sub[] = {{111, 11}, {11, 11}, {12, 12}, {10, 0}, {404, 0}};
  for (auto [id, expected] : sub) EXPECT_EQ(cache->getSubCategory(id), expected) << id;

  const Category& chairs = at(*cache, 111);
  EXPECT_TRUE(chairs.isParentId(cache->categories, 111));
  EXPECT_TRUE(chairs.isParentId(cache->categories, 11));
  EXPECT_TRUE(chairs.isParentId(cache->categories, 10));
  EXPECT_FALSE(chairs.isParentId(cache->categories, 12));
  EXPECT_FALSE(chairs.isParentId(cache->categories, -1));
}

// Two categories naming each other as parent: every walk over them ends.
TEST_F(EbayCacheTest, ParentLoopsEndEveryWalk) {
  write("ebay-cache/categories.txt",
        "1\n0\n0\n1\n\n30\t31\t0\tA\t1\t1\n31\t30\t0\tB\t0\t0\n32\t31\t0\tC\t0\t0\n");
  write("ebay-cache/GetCategoryFeatures.xml",
        "<r><Category><CategoryID>31</CategoryID><MinimumReservePrice>3</MinimumReservePrice></Category></r>");
  auto cache = build();
  EXPECT_EQ(cache->getMainCategory(30), 30);
  EXPECT_EQ(cache->getMainCategory(32), 32);
  EXPECT_EQ(cache->getSubCategory(30), 31);
  EXPECT_FALSE(at(*cache, 32).isParentId(cache->categories, 99));
  for (int32_t id : {30, 31, 32}) {
    EXPECT_TRUE(at(*cache, id).isReservePriceAllowed()) << id;
    EXPECT_EQ(at(*cache, id).getMinimumReservePrice(), "3") << id;
  }

  SetUp();
  write("ebay-cache/categories.txt",
        "1\n0\n0\n1\n\n30\t31\t0\tA\t0\t0\n31\t30\t0\tB\t0\t0\n32\t31\t0\tC\t0\t0\n");
  write("config/config.properties", "rootCategory=30\n");
  cache = build();
  EXPECT_EQ(keys(cache->categories), (std::vector<int32_t>{31, 32}));
  EXPECT_EQ(ids(listOf(*cache, -1)), (std::vector<int32_t>{31}));
  EXPECT_EQ(at(*cache, 31).getParentId(), -1);
  EXPECT_EQ(at(*cache, 31).getLeaf(), 0);
}

TEST_F(EbayCacheTest, PrintRootCategoriesPrintsPlainNames) {
  auto cache = build();
  site_.clearOutput();
  cache->printRootCategories();
  EXPECT_EQ(out(), "10\tHome & Garden\n20\tBooks\n");
}

// The demo installation's own cache files of site 77.
TEST_F(EbayCacheTest, DemoSiteCache) {
  const std::string demo = testsupport::sourceDir() + "/demo/htdocs/app/WEB-INF/77/";
  for (const char* name :
       {"config/category-exclude.txt", "ebay-cache/categories.txt", "ebay-cache/getcategory2cs.xml",
        "ebay-cache/attributes.txt", "ebay-cache/GetCategoryFeatures.xml",
        "ebay-cache/ShippingServiceDetails.xml"}) {
    write(name, TempDir::read(demo + name));
  }
  auto cache = build();
  EXPECT_EQ(ids(listOf(*cache, -1)), (std::vector<int32_t>{1000, 2000, 3000}));
  EXPECT_EQ(ids(listOf(*cache, 1000)), (std::vector<int32_t>{1100, 1200}));
  EXPECT_EQ(ids(listOf(*cache, 1100)), (std::vector<int32_t>{1110, 1120}));
  EXPECT_EQ(ids(listOf(*cache, 1200)), (std::vector<int32_t>{1210}));
  for (int32_t excluded : {9000, 9100, 1220}) EXPECT_EQ(cache->categories.count(excluded), 0u);
  EXPECT_EQ(at(*cache, 1000).getName(), "Sammeln+%26+Seltenes");
  EXPECT_EQ(at(*cache, 1110).getLeaf(), 1);
  EXPECT_EQ(at(*cache, 1100).getLeaf(), 0);

  EXPECT_TRUE(at(*cache, 1000).isReservePriceAllowed());
  EXPECT_FALSE(at(*cache, 3100).isReservePriceAllowed());  // override of 3000
  EXPECT_TRUE(at(*cache, 1110).isReduceReserveAllowed());   // override of 1100
  EXPECT_FALSE(at(*cache, 1200).isReduceReserveAllowed());
  EXPECT_TRUE(at(*cache, 3210).isReservePriceAllowed());    // minimum price of 3200
  EXPECT_EQ(at(*cache, 3210).getMinimumReservePrice(), "500.00");
  EXPECT_EQ(at(*cache, 2110).getMinimumReservePrice(), "5.00");
  EXPECT_EQ(at(*cache, 1210).getMinimumReservePrice(), "1.00");
  EXPECT_TRUE(at(*cache, 2210).isConditionExcluded());
  EXPECT_EQ(at(*cache, 2120).getCsId(), 1234);
  xml::Element set = cache->getCharacteristicsSets(1234);
  ASSERT_TRUE(set);
  EXPECT_EQ(set.attributeValue("name"), "M\xC3\xB6" "bel");
  EXPECT_TRUE(cache->isInternationalServiceOption("DE_DHLPaketInternational"));
  EXPECT_FALSE(cache->isInternationalServiceOption("DE_DHLPaket"));
}

TEST(Category, RecursiveSettersCoverTheSubtreeAndEndOnALoop) {
  Category top, child, grandchild, other;
  top.addChild(&child);
  child.addChild(&grandchild);
  child.addChild(nullptr);
  grandchild.addChild(&top);  // a loop back to the top

  top.setReservePriceAllowedRecursive(true);
  top.setReduceReserveAllowedRecursive(true);
  child.setMinimumReservePriceRecursive("4.00");
  for (const Category* c : {&top, &child, &grandchild}) {
    EXPECT_TRUE(c->isReservePriceAllowed());
    EXPECT_TRUE(c->isReduceReserveAllowed());
    EXPECT_EQ(c->getMinimumReservePrice(), "4.00");
  }
  EXPECT_FALSE(other.isReservePriceAllowed());
  EXPECT_EQ(other.getMinimumReservePrice(), std::nullopt);

  grandchild.setReservePriceAllowedRecursive(false);
  for (const Category* c : {&top, &child, &grandchild}) EXPECT_FALSE(c->isReservePriceAllowed());
}

}  // namespace
}  // namespace quorvelauction::common
