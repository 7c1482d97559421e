// Every input a fuzz target has failed on runs again here, in every build:
// fuzz/reproducers/<target>/ holds them, one file each.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FuzzRegistry.h"
#include "support/TempDir.h"

namespace {

TEST(FuzzReproducers, EveryFolderNamesATarget) {
  const std::filesystem::path root = testsupport::sourceDir() + "/fuzz/reproducers";
  for (const auto& folder : std::filesystem::directory_iterator(root))
    EXPECT_EQ(fuzz::Registry::targets().count(folder.path().filename().string()), 1u) << folder.path();
}

TEST(FuzzReproducers, RunWithoutFailing) {
  const std::filesystem::path root = testsupport::sourceDir() + "/fuzz/reproducers";
  for (const auto& [name, target] : fuzz::Registry::targets()) {
    const std::filesystem::path folder = root / name;
    if (!std::filesystem::is_directory(folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      SCOPED_TRACE(entry.path().string());
      target(testsupport::TempDir::read(entry.path().string()));
    }
  }
}

}  // namespace
