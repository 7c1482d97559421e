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

const char* const kSets[] = {"vtl", "vtl2", "vtl3", "vtl4"};

// Each entry is "set/case", relative to the conformance folder.
std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const char* set : kSets) {
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(testsupport::conformanceDir() + "/" + set, error)) {
      if (entry.is_directory() && std::filesystem::exists(entry.path() / "template.vm")) {
        names.push_back(std::string(set) + "/" + entry.path().filename().string());
      }
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool hasSet(const std::vector<std::string>& names, const std::string& set) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    return name.compare(0, set.size() + 1, set + "/") == 0;
  });
}

class ReferenceCase : public testing::TestWithParam<std::string> {};

TEST_P(ReferenceCase, RendersAsTheReference) {
  std::string folder = testsupport::conformanceDir() + "/" + GetParam();
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

TEST(ReferenceCases, EveryFolderIsThere) {
  std::vector<std::string> names = caseNames();
  for (const char* set : kSets) EXPECT_TRUE(hasSet(names, set)) << set;
}

}  // namespace
