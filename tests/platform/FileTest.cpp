#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/File.h"
#include "support/TempDir.h"

using platform::File;

TEST(File, PathIsKeptLessRepeatedAndTrailingSeparators) {
  EXPECT_EQ(File("a//b/").getPath(), "a/b");
  EXPECT_EQ(File("/").getPath(), "/");
  EXPECT_EQ(File("x/y", "z").getPath(), "x/y/z");
  EXPECT_EQ(File("/a/b.txt").getName(), "b.txt");
  EXPECT_EQ(File("/a/b.txt").getParent(), "/a");
  EXPECT_EQ(File("b.txt").getParent(), std::nullopt);
}

TEST(File, AbsolutePathKeepsDotDotCanonicalResolvesIt) {
  testsupport::TempDir dir;
  File(dir.file("real/sub")).mkdirs();
  ASSERT_EQ(::symlink(dir.file("real").c_str(), dir.file("link").c_str()), 0);
  File viaLink(dir.file("link/sub/../missing/x"));
  EXPECT_EQ(viaLink.getAbsolutePath(), dir.file("link/sub/../missing/x"));
  std::string base = File(dir.path()).getCanonicalPath();
  EXPECT_EQ(viaLink.getCanonicalPath(), base + "/real/missing/x");
  EXPECT_EQ(File(dir.file("real/./sub/")).getCanonicalPath(), base + "/real/sub");
  EXPECT_EQ(File("/../..").getCanonicalPath(), "/");
}

TEST(File, QuestionsAndChanges) {
  testsupport::TempDir dir;
  File missing(dir.file("none"));
  EXPECT_FALSE(missing.exists());
  EXPECT_EQ(missing.length(), 0);
  EXPECT_EQ(missing.lastModified(), 0);
  EXPECT_EQ(missing.list(), std::nullopt);

  File deep(dir.file("a/b/c"));
  EXPECT_TRUE(deep.mkdirs());
  EXPECT_FALSE(deep.mkdirs());
  EXPECT_TRUE(deep.isDirectory());

  dir.write("a/f.txt", "12345");
  File f(dir.file("a/f.txt"));
  EXPECT_TRUE(f.isFile());
  EXPECT_EQ(f.length(), 5);
  EXPECT_TRUE(f.setLastModified(1234567890123));
  EXPECT_EQ(f.lastModified(), 1234567890123);

  auto names = File(dir.file("a")).list();
  ASSERT_TRUE(names);
  std::sort(names->begin(), names->end());
  EXPECT_EQ(*names, (std::vector<std::string>{"b", "f.txt"}));

  File moved(dir.file("a/g.txt"));
  EXPECT_TRUE(f.renameTo(moved));
  EXPECT_TRUE(moved.exists() && !f.exists());
  EXPECT_TRUE(moved.remove());
  EXPECT_FALSE(File(dir.file("a/b")).remove());  // not empty
  EXPECT_TRUE(deep.remove());
}
