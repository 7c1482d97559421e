#include "quorvelauction/offline/CallMapper.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"

namespace quorvelauction::offline {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

platform::Properties table(const Entries& entries) {
  platform::Properties props;
  for (const auto& [key, value] : entries) props.setProperty(key, value);
  return props;
}

Entries entries(const platform::Properties& props) {
  Entries out;
  for (const std::string& key : props.keys()) out.emplace_back(key, *props.getProperty(key));
  return out;
}

struct Case {
  const char* function;
  Entries given;
  Entries expected;
};

TEST(CallMapperTest, NamesPositionalParameters) {
  const Case cases[] = {
      {"echo", {{"a0", "hi"}}, {{"a0", "hi"}, {"test", "hi"}}},
      {"login",
       {{"a0", "u"}, {"a1", "p"}, {"a2", "auction_de"}},
       {{"a0", "u"}, {"a1", "p"}, {"a2", "auction_de"}, {"userName", "u"}, {"password", "p"},
        {"domain", "auction_de"}}},
      // The last row of the table still maps.
      {"getSuggestedCategories",
       {{"a0", "s"}, {"a1", "q"}},
       {{"a0", "s"}, {"a1", "q"}, {"sessionId", "s"}, {"query", "q"}}},
      // Five positions, the widest row.
      {"getSellerList",
       {{"a0", "s"}, {"a1", "1"}, {"a2", "2"}, {"a3", "3"}, {"a4", "4"}},
       {{"a0", "s"}, {"a1", "1"}, {"a2", "2"}, {"a3", "3"}, {"a4", "4"}, {"sessionId", "s"},
        {"endTimeTo", "1"}, {"endTimeFrom", "2"}, {"startTimeTo", "3"}, {"startTimeFrom", "4"}}},
      // Extra positions are carried, not mapped.
      {"userImages", {{"a0", "s"}, {"a1", "x"}}, {{"a0", "s"}, {"a1", "x"}, {"sessionId", "s"}}},
      // The row without parameters and unknown names change nothing.
      {"offlineGetServerSessionId", {}, {}},
      {"noSuchCommand", {{"a0", "x"}}, {{"a0", "x"}}},
      {"Echo", {{"a0", "x"}}, {{"a0", "x"}}},
      // A mapped name replaces a value sent under that name.
      {"echo", {{"test", "old"}, {"a0", "new"}}, {{"test", "new"}, {"a0", "new"}}},
  };
  for (const Case& c : cases) {
    platform::Properties props = table(c.given);
    CallMapper::map(c.function, props);
    EXPECT_EQ(entries(props), c.expected) << c.function;
  }
}

TEST(CallMapperTest, MissingPositionFails) {
  platform::Properties props = table({{"a0", "u"}, {"a1", "p"}});
  EXPECT_THROW(CallMapper::map("login", props), platform::NullPointerException);
  platform::Properties none;
  EXPECT_THROW(CallMapper::map("echo", none), platform::NullPointerException);
}

}  // namespace
}  // namespace quorvelauction::offline
