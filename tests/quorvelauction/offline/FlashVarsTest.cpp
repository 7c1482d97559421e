// The "flashVars" rewrite: its text rules and the one pass over all pictures.

#include <gtest/gtest.h>

#include "quorvelauction/offline/FlashVars.h"

namespace quorvelauction::offline {
namespace {

TEST(FlashVarsTest, Rewrite) {
  const struct {
    const char* text;
    std::map<int32_t, int32_t> pictures;
    const char* rewritten;
  } cases[] = {
      {"a=1&pic1=5&&=x&b&pic2=7", {{5, 812}}, "&a=1&pic1=812&b=&pic2=7"},
      {"", {{5, 812}}, ""},
      {"&&=&==", {}, ""},
      // A third piece is dropped; only keys beginning "pic" name pictures.
      {"pic1=5=6&x5=5&Pic2=5", {{5, 9}}, "&pic1=9&x5=5&Pic2=5"},
      // A number set for one picture is not taken for another's local number.
      {"pic1=3&pic2=7", {{3, 7}, {7, 8}}, "&pic1=7&pic2=8"},
      {"pic1=7&pic2=3", {{3, 7}, {7, 8}}, "&pic1=8&pic2=7"},
      // A value that is no number names no picture and stays.
      {"pic1=abc&pic2=&pic3=+5", {{5, 1}}, "&pic1=abc&pic2=&pic3=1"},
  };
  for (const auto& c : cases) EXPECT_EQ(FlashVars::rewrite(c.text, c.pictures), c.rewritten) << c.text;
}

}  // namespace
}  // namespace quorvelauction::offline
