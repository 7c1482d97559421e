// Every case folder of the reference renderings, found when the test runs,
// rendered as vtlrender renders it and compared byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../tools/VtlCase.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(testsupport::conformanceDir() + "/vtl", error)) {
    if (entry.is_directory() && std::filesystem::exists(entry.path() / "template.vm")) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ReferenceCase : public testing::TestWithParam<std::string> {};

TEST_P(ReferenceCase, RendersAsTheReference) {
  std::string folder = testsupport::conformanceDir() + "/vtl/" + GetParam();
  std::string expected = vtlcase::readFile(folder + "/expected.txt");
  EXPECT_EQ(vtlcase::render(folder), expected);
}

INSTANTIATE_TEST_SUITE_P(Vtl, ReferenceCase, testing::ValuesIn(caseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(ReferenceCases, FolderIsThere) { EXPECT_FALSE(caseNames().empty()); }

}  // namespace
