// The category branch replies, characteristics sets and category lookups
// over the small site 5 of the fixture folder (domain "shop_de").

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
#include "quorvelauction/common/Category.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/SiteConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"
#include "xml/DocumentException.h"

using quorvelauction::common::CommonSOAPFunctions;
using quorvelauction::common::GlobalConfig;

namespace {

// Sessions "user<N>" belong to user N of domain "domain<N>"; others are
// invalid. User 9's domain cannot be told.
class SessionUsers : public quorvelauction::common::UserWrapper {
 public:
  int32_t getUserIdBySessionId(const std::string& sessionId) override {
    return sessionId.rfind("user", 0) == 0 ? std::stoi(sessionId.substr(4)) : -1;
  }
  std::string getDomain(int32_t userId) override {
    if (userId == 9) throw platform::IllegalStateException("no domain for user 9");
    return userId == 5 ? "shop_de" : "domain" + std::to_string(userId);
  }
  std::string getDefaultDomain() override { return "shop_de"; }
};

std::shared_ptr<platform::PrintStream> consoleStream(int fd) {
  return std::make_shared<platform::PrintStream>(
      std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(fd)), true);
}

// The branch of one parent as the front end receives it; items in order.
std::string branch(const std::string& id, const std::string& parents, int count, const std::string& items) {
  return "<_" + id + " parents=\"#" + parents + "\" count=\"" + std::to_string(count) + "\">" + items +
         "</_" + id + ">";
}

const std::string kHome =
    "<item uniqueID=\"10\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" name=\"'Home+%26+Garden'\" rpa=\"0\" "
    "mrp=\"1.00\" rra=\"0\"/>";
const std::string kBooks =
    "<item uniqueID=\"20\" csId=\"0\" leaf=\"1\" ls=\"1\" ce=\"1\" name=\"'Books'\" rpa=\"0\" mrp=\"1.00\" "
    "rra=\"1\"/>";
const std::string kFurniture =
    "<item uniqueID=\"11\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" name=\"'Furniture'\" rpa=\"1\" "
    "mrp=\"9.50\" rra=\"0\"/>";
const std::string kChairs =
    "<item uniqueID=\"111\" csId=\"500\" leaf=\"1\" ls=\"0\" ce=\"0\" name=\"'Chairs'\" rpa=\"1\" "
    "mrp=\"9.50\" rra=\"0\"/>";
const std::string kTables =
    "<item uniqueID=\"112\" csId=\"0\" leaf=\"1\" ls=\"0\" ce=\"0\" name=\"'Tables'\" rpa=\"1\" "
    "mrp=\"9.50\" rra=\"0\"/>";
const std::string kOrphan =
    "<item uniqueID=\"30\" csId=\"0\" leaf=\"1\" ls=\"0\" ce=\"0\" name=\"'Orphan'\" rpa=\"0\" mrp=\"1.00\" "
    "rra=\"0\"/>";
const std::string kLoopA =
    "<item uniqueID=\"40\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" name=\"'Loop+A'\" rpa=\"0\" mrp=\"1.00\" "
    "rra=\"0\"/>";
const std::string kLoopB =
    "<item uniqueID=\"41\" csId=\"0\" leaf=\"0\" ls=\"0\" ce=\"0\" name=\"'Loop+B'\" rpa=\"0\" mrp=\"1.00\" "
    "rra=\"0\"/>";

class CommonSOAPFunctionsCategoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    // A copy: reading a domain's settings writes its update lists beside them.
    std::filesystem::copy(testsupport::sourceDir() + "/tests/quorvelauction/common/fixtures/catalogue/app",
                          user_.file("app"), std::filesystem::copy_options::recursive);
    GlobalConfig::load(user_.file("app/"), user_.path());
    quorvelauction::common::Config::clear();
    quorvelauction::common::SiteConfig::clear();
    GlobalConfig::reloadEbayCacheFilesForOneDomain("shop_de");
    ASSERT_NE(GlobalConfig::getEbayCache(5), nullptr) << err_.bytes();
    out_.reset();
    err_.reset();
  }
  void TearDown() override {
    GlobalConfig::reloadEbayCacheFilesForOneDomain("nosite");  // leaves no cache behind
    quorvelauction::common::Config::clear();
    quorvelauction::common::SiteConfig::clear();
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
    platform::System::setOut(consoleStream(1));
    platform::System::setErr(consoleStream(2));
  }

  testsupport::TempDir user_;
  quorvelauction::offline::Server::CryptedStreams factory_;
  SessionUsers users_;
  CommonSOAPFunctions functions_{users_};
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
};

TEST_F(CommonSOAPFunctionsCategoryTest, BranchesAnswerByteForByte) {
  struct Case {
    const char* parentIds;
    std::string reply;
  } cases[] = {
      {"-1", branch("-1", "-1", 2, kHome + kBooks)},
      {"10", branch("10", "-1.10", 1, kFurniture)},
      {"11", branch("11", "-1.10.11", 2, kChairs + kTables)},
      // Two ids, empty pieces dropped: the branches one after the other.
      {".-1..11.", branch("-1", "-1", 2, kHome + kBooks) + branch("11", "-1.10.11", 2, kChairs + kTables)},
      // A leaf answers with itself as the only item.
      {"111", branch("111", "-1.10.11.111", 1, kChairs)},
      {"20", branch("20", "-1.20", 1, kBooks)},
      // Missing ancestors start the path without -1.
      {"31", branch("31", "31", 1, kOrphan)},
      {"30", branch("30", "31.30", 1, kOrphan)},
      // A parent cycle ends the walk before an id comes round again.
      {"40", branch("40", "41.40", 1, kLoopB)},
      {"41", branch("41", "40.41", 1, kLoopA)},
      {"", ""},
      {"...", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(functions_.getCategoriesImpl("shop_de", c.parentIds), c.reply) << c.parentIds;
}

TEST_F(CommonSOAPFunctionsCategoryTest, EveryFailureAnswersErrorAndPrintsNothing) {
  struct Case {
    const char* domain;
    const char* parentIds;
  } cases[] = {
      {"shop_de", "999"},        // no such category
      {"shop_de", "-1.999"},     // one unknown id spoils the valid ones
      {"shop_de", "11.x"},       // not a number
      {"shop_de", "1e2"},
      {"shop_de", "99999999999"},  // beyond 32 bits
      {"nocache", "-1"},         // the site has no loaded cache
      {"nosite", "-1"},          // the domain's site id is no number
  };
  for (const Case& c : cases) {
    EXPECT_EQ(functions_.getCategoriesImpl(c.domain, c.parentIds), "error") << c.domain << " " << c.parentIds;
  }
  EXPECT_EQ(out_.bytes() + err_.bytes(), "");
}

TEST_F(CommonSOAPFunctionsCategoryTest, SessionIdChoosesTheDomain) {
  const std::string top = branch("-1", "-1", 2, kHome + kBooks);
  struct Case {
    const char* sessionId;
    std::string reply;
  } cases[] = {
      {"b3d05e91c7shop_de", top},
      {"b3d05e91c7", top},              // no domain after the prefix: the default one
      {"b3d05e91c7nocache", "error"},
      {"B3D05E91C7shop_de", "error:invalid_sessionId:Sitzung abgelaufen"},  // case counts
      {"user5", top},
      {"user6", "error"},               // domain6 has no configuration
      {"nobody", "error:invalid_sessionId:Sitzung abgelaufen"},
  };
  for (const Case& c : cases) EXPECT_EQ(functions_.getCategories(c.sessionId, "-1"), c.reply) << c.sessionId;

  err_.reset();
  const platform::IllegalStateException failure("no domain for user 9");
  EXPECT_EQ(functions_.getCategories("user9", "-1"), "error:exception:Fehler: " + platform::describe(failure));
  EXPECT_NE(err_.bytes().find("no domain for user 9"), std::string::npos) << "its trace is printed";
}

TEST_F(CommonSOAPFunctionsCategoryTest, CharacteristicsSetsComeFromTheDomainsSite) {
  xml::Element set = functions_.getCharacteristicsSet("shop_de", 500);
  ASSERT_TRUE(set);
  EXPECT_EQ(quorvelauction::common::XMLUtils::asCompactString(set),
            "<set id=\"500\"><name>Chair &amp; Co</name><value id=\"1\">Oak wood</value></set>");
  EXPECT_FALSE(functions_.getCharacteristicsSet("shop_de", 501));
  EXPECT_THROW(functions_.getCharacteristicsSet("shop_de", 502), xml::DocumentException);
  EXPECT_THROW(functions_.getCharacteristicsSet("nocache", 500), platform::Exception);
  EXPECT_THROW(functions_.getCharacteristicsSet("nosite", 500), platform::NumberFormatException);
}

TEST_F(CommonSOAPFunctionsCategoryTest, CategoryLookupOutlivesAReload) {
  std::shared_ptr<const quorvelauction::common::Category> chairs = functions_.getCategory(5, 111);
  ASSERT_NE(chairs, nullptr);
  EXPECT_EQ(functions_.getCategory(5, 999), nullptr);
  EXPECT_EQ(functions_.getCategory(6, 111), nullptr);
  GlobalConfig::reloadEbayCacheFilesForOneDomain("nosite");
  ASSERT_EQ(GlobalConfig::getEbayCache(5), nullptr);
  EXPECT_EQ(chairs->getCsId(), 500);
  EXPECT_EQ(chairs->getName(), "Chairs");
}

}  // namespace
