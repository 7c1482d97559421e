// The companion program on pictures the tests make: converted and scaled
// files read back with libvips, their info files, cancelled and unusable
// choices that leave nothing behind.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "companion/Pictures.h"
#include "platform/Runtime.h"
#include "support/TempDir.h"

namespace companiontest {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class CompanionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // The glib type system keeps its allocations until the process ends.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    fs::create_directories(dir.path() + "images");
    Pictures::make(dir.path() + "wide.jpg", 1200, 900);
  }
  void TearDown() override {
    unsetenv("QUORVELCOMPANION_FILES");
    unsetenv("QUORVELCOMPANION_EDIT");
    unsetenv("DISPLAY");
    setenv("PATH", path_.c_str(), 1);
  }

  // Starts the companion as the server does: one command string; its exit
  // status.
  int run(const std::string& verbPart, const std::string& files = "", const std::string& edit = "") {
    if (files.empty()) unsetenv("QUORVELCOMPANION_FILES");
    else setenv("QUORVELCOMPANION_FILES", files.c_str(), 1);
    if (edit.empty()) unsetenv("QUORVELCOMPANION_EDIT");
    else setenv("QUORVELCOMPANION_EDIT", edit.c_str(), 1);
    return platform::Runtime::waitFor(
        platform::Runtime::exec(std::string(QA_BINARY_DIR) + "/quorvelcompanion " + verbPart));
  }
  // A display and a stand-in "zenity" first on PATH: its list dialog
  // prints editAnswer, its file dialog fileAnswer; "cancel" ends it as a
  // cancelled dialog does.
  void useDialogs(const std::string& editAnswer, const std::string& fileAnswer) {
    const std::string bin = dir.path() + "bin/";
    fs::create_directories(bin);
    std::ofstream(bin + "zenity") << "#!/bin/sh\n"
                                  << "case \"$*\" in *--list*) a='" << editAnswer << "';; *) a='" << fileAnswer
                                  << "';; esac\n"
                                  << "[ \"$a\" = cancel ] && exit 1\n"
                                  << "printf '%s\\n' \"$a\"\n";
    fs::permissions(bin + "zenity", fs::perms::owner_all);
    setenv("DISPLAY", ":99", 1);
    setenv("PATH", (bin.substr(0, bin.size() - 1) + ":" + path_).c_str(), 1);
  }
  std::string images() const { return dir.path() + "images/"; }
  // The names in the images folder, sorted.
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& entry : fs::directory_iterator(images())) out.push_back(entry.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }

  testsupport::TempDir dir;

 private:
  const std::string path_ = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
};

TEST_F(CompanionTest, ScaleFitsTheBoxAndTurns) {
  std::ofstream(dir.path() + "wide.jpg.info") << "Ebay\n1200\n900\n";
  struct Case {
    int first, second, rotation;
    std::pair<int, int> size;
  };
  // The server passes a quarter turn's sizes swapped, so the turned picture
  // fits the box it asked for.
  const Case cases[] = {
      {400, 300, 0, {400, 300}}, {96, 72, 0, {96, 72}},  {300, 400, 0, {300, 225}},
      {300, 400, 90, {225, 300}}, {300, 400, 270, {225, 300}}, {400, 300, 180, {400, 300}},
      {2400, 1800, 0, {2400, 1800}},
  };
  for (const Case& c : cases) {
    const std::string target = images() + "5v.jpg";
    run("scale*" + dir.path() + "wide.jpg*" + images() + "5v.jpg*" + std::to_string(c.first) + "*" +
        std::to_string(c.second) + "*" + std::to_string(c.rotation));
    const std::string label = std::to_string(c.first) + "x" + std::to_string(c.second) + "@" + std::to_string(c.rotation);
    ASSERT_TRUE(Pictures::isJpeg(target)) << label;
    EXPECT_EQ(Pictures::size(target), c.size) << label;
    EXPECT_EQ(slurp(target + ".info"), "Ebay\n" + std::to_string(c.size.first) + "\n" +
                                           std::to_string(c.size.second) + "\n") << label;
    // White was on the left: a clockwise quarter turn puts it on top, three
    // quarters at the bottom, a half turn on the right.
    auto [w, h] = c.size;
    if (c.rotation == 90) {
      EXPECT_GT(Pictures::at(target, w / 2, 5), Pictures::at(target, w / 2, h - 5));
    }
    if (c.rotation == 270) {
      EXPECT_LT(Pictures::at(target, w / 2, 5), Pictures::at(target, w / 2, h - 5));
    }
    if (c.rotation == 180) {
      EXPECT_LT(Pictures::at(target, 5, h / 2), Pictures::at(target, w - 5, h / 2));
    }
    if (c.rotation == 0) {
      EXPECT_GT(Pictures::at(target, 5, h / 2), Pictures::at(target, w - 5, h / 2));
    }
  }
  // In place, as the server rescales a picture to its own type's size.
  fs::copy_file(dir.path() + "wide.jpg", images() + "6.jpg");
  std::ofstream(images() + "6.jpg.info") << "Ebay\n1200\n900\n";
  run("scale*" + images() + "6.jpg*" + images() + "6.jpg*640*480*0");
  EXPECT_EQ(Pictures::size(images() + "6.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(slurp(images() + "6.jpg.info"), "Ebay\n640\n480\n");
}

TEST_F(CompanionTest, BadScaleArgumentsWriteNothing) {
  for (const char* args : {"*400*300*x", "*abc*300*0", "*400*300", "*0*300*0"}) {
    run("scale*" + dir.path() + "wide.jpg*" + images() + "1v.jpg" + std::string(args));
  }
  std::ofstream(dir.path() + "text.jpg") << "no picture at all";
  run("scale*" + dir.path() + "text.jpg*" + images() + "1v.jpg*400*300*0");
  EXPECT_EQ(names(), std::vector<std::string>{});
}

TEST_F(CompanionTest, ChosenPictureBecomesJpegWithItsInfo) {
  struct Case {
    std::string file;
    int width, height;
    bool alpha;
  };
  const Case cases[] = {
      {"photo.png", 800, 600, false},
      {"logo.png", 300, 500, true},
      {"large.jpg", 4000, 3000, false},
  };
  int id = 1;
  for (const Case& c : cases) {
    Pictures::make(dir.path() + c.file, c.width, c.height, c.alpha);
    const std::string picture = images() + std::to_string(id) + ".jpg";
    run("image*0*" + picture + "*Ebay", dir.path() + c.file);
    ASSERT_TRUE(Pictures::isJpeg(picture)) << c.file;
    EXPECT_EQ(Pictures::size(picture), std::make_pair(c.width, c.height)) << c.file;
    EXPECT_EQ(slurp(picture + ".info"), "Ebay\n" + std::to_string(c.width) + "\n" + std::to_string(c.height) + "\n");
    ++id;
  }
  // No type from the server ("null") is the Standard type.
  run("image*0*" + images() + "4.jpg*null", dir.path() + "wide.jpg");
  EXPECT_EQ(slurp(images() + "4.jpg.info"), "Standard\n1200\n900\n");
}

TEST_F(CompanionTest, CancelledOrUnusableChoiceLeavesNothing) {
  std::ofstream(dir.path() + "notes.jpg") << "no picture at all";
  std::ofstream(dir.path() + "fake.swf") << "no movie either";
  const std::string picture = images() + "1.jpg";
  run("image*0*" + picture + "*Standard", "cancel");
  run("image*0*" + picture + "*Standard");  // no display and no choice
  run("image*0*" + picture + "*Standard", dir.path() + "notes.jpg");
  run("image*0*" + picture + "*Standard", dir.path() + "missing.png");
  run("image*0*" + picture + "*Standard", dir.path() + "fake.swf");
  run("images*0*" + dir.path() + "images\\*1*Standard", dir.path() + "notes.jpg");
  run("sound*0*" + dir.path() + "sounds.mp3*Standard", dir.path() + "notes.jpg");
  run("image*0*" + images() + "1.png*Standard", dir.path() + "wide.jpg");  // not a picture name of the server
  EXPECT_EQ(names(), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(dir.path() + "sounds.mp3"));
}

TEST_F(CompanionTest, MovieIsCopiedWithAStill) {
  std::ofstream(dir.path() + "clip.swf") << "FWS\x08movie bytes";
  EXPECT_EQ(run("image*0*" + images() + "3.jpg*Ebay", dir.path() + "clip.swf"), 0);
  EXPECT_EQ(run("images*0*" + dir.path() + "images\\*7*null", dir.path() + "clip.swf\n" + dir.path() + "wide.jpg"), 0);
  // The movie's upload sends its still, the .jpg; no Flash frame can be
  // drawn here, so the still is a plain picture of the Standard size.
  EXPECT_EQ(names(), (std::vector<std::string>{"3.jpg", "3.jpg.info", "3.swf", "7.jpg", "7.jpg.info", "7.swf"}));
  EXPECT_EQ(slurp(images() + "3.swf"), "FWS\x08movie bytes");
  for (const char* still : {"3.jpg", "7.jpg"}) {
    EXPECT_TRUE(Pictures::isJpeg(images() + still)) << still;
    EXPECT_EQ(Pictures::size(images() + still), std::make_pair(400, 300)) << still;
  }
  EXPECT_EQ(slurp(images() + "3.jpg.info"), "Ebay\n400\n300\n");
  EXPECT_EQ(slurp(images() + "7.jpg.info"), "Standard\n400\n300\n");
}

TEST_F(CompanionTest, TransparencyBecomesWhiteAtEveryDepth) {
  // The right half is transparent black: the background must show.
  for (int bits : {8, 16}) {
    const std::string source = dir.path() + "clear" + std::to_string(bits) + ".png";
    const std::string picture = images() + std::to_string(bits) + ".jpg";
    Pictures::make(source, 300, 200, true, bits);
    ASSERT_EQ(run("image*0*" + picture + "*Standard", source), 0) << bits;
    EXPECT_GT(Pictures::at(picture, 250, 100), 250.0) << bits;
    EXPECT_GT(Pictures::at(picture, 50, 100), 250.0) << bits;
  }
}

TEST_F(CompanionTest, TruncatedPictureIsRefused) {
  // Cut in the middle of their pixel data, the headers still read well.
  for (const char* file : {"cut.jpg", "cut.png"}) {
    const std::string path = dir.path() + file;
    Pictures::make(path, 1600, 1200);
    fs::resize_file(path, fs::file_size(path) / 2);
    EXPECT_EQ(run("image*0*" + images() + "1.jpg*Standard", path), 1) << file;
    EXPECT_EQ(run("scale*" + path + "*" + images() + "1v.jpg*400*300*0"), 1) << file;
  }
  EXPECT_EQ(names(), std::vector<std::string>{});

  // Among several, a cut picture takes no number; a replacement keeps the
  // picture it would replace.
  run("images*0*" + dir.path() + "images\\*4*Standard", dir.path() + "cut.png\n" + dir.path() + "wide.jpg");
  EXPECT_EQ(names(), (std::vector<std::string>{"4.jpg", "4.jpg.info", "images.txt"}));
  EXPECT_EQ(slurp(images() + "images.txt"), "1\n");
  const std::string kept = slurp(images() + "4.jpg");
  EXPECT_EQ(run("changeImage*0*" + images() + "4.jpg*null", dir.path() + "cut.jpg", "replace"), 1);
  EXPECT_TRUE(slurp(images() + "4.jpg") == kept);
}

TEST_F(CompanionTest, SeveralPicturesTakeConsecutiveNumbers) {
  Pictures::make(dir.path() + "b.png", 640, 480);
  std::ofstream(dir.path() + "notes.txt") << "skipped";
  std::ofstream(images() + "images.txt") << "99\n";
  run("images*0*" + dir.path() + "images\\*12*Thumb",
      dir.path() + "wide.jpg\n" + dir.path() + "notes.txt\n" + dir.path() + "b.png\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"12.jpg", "12.jpg.info", "13.jpg", "13.jpg.info", "images.txt"}));
  EXPECT_EQ(slurp(images() + "images.txt"), "2\n");
  EXPECT_EQ(Pictures::size(images() + "13.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(slurp(images() + "12.jpg.info"), "Thumb\n1200\n900\n");
}

TEST_F(CompanionTest, ChangedPictureIsRewrittenInPlace) {
  const std::string picture = images() + "4.jpg";
  fs::copy_file(dir.path() + "wide.jpg", picture);
  std::ofstream(picture + ".info") << "Ebay\n1200\n900\n";
  const auto before = fs::last_write_time(picture);

  run("changeImage*0*" + dir.path() + "images\\4.jpg*null", "", "cancel");
  EXPECT_EQ(fs::last_write_time(picture), before);

  run("changeImage*0*" + dir.path() + "images\\4.jpg*null", "", "turn90");
  EXPECT_NE(fs::last_write_time(picture), before);
  EXPECT_EQ(Pictures::size(picture), std::make_pair(900, 1200));
  EXPECT_GT(Pictures::at(picture, 450, 5), Pictures::at(picture, 450, 1195));
  EXPECT_EQ(slurp(picture + ".info"), "Ebay\n900\n1200\n");

  Pictures::make(dir.path() + "other.png", 320, 240);
  run("changeImage*0*" + dir.path() + "images\\4.jpg*Thumb", dir.path() + "other.png", "replace");
  EXPECT_EQ(Pictures::size(picture), std::make_pair(320, 240));
  EXPECT_EQ(slurp(picture + ".info"), "Thumb\n320\n240\n");

  // A picture that does not exist is not made by an edit.
  run("changeImage*0*" + dir.path() + "images\\8.jpg*null", dir.path() + "other.png", "replace");
  EXPECT_FALSE(fs::exists(images() + "8.jpg"));
}

TEST_F(CompanionTest, DialogEditAnswerIsChecked) {
  const std::string picture = images() + "4.jpg";
  Pictures::make(dir.path() + "other.png", 320, 240);
  struct Case {
    std::string answer;
    int status;
    std::pair<int, int> size;
  };
  const Case cases[] = {
      {"cancel", 1, {1200, 900}}, {"", 1, {1200, 900}},       {"tu", 1, {1200, 900}},
      {"turn45", 1, {1200, 900}}, {"turnip", 1, {1200, 900}}, {"replace me", 1, {1200, 900}},
      {"turn90", 0, {900, 1200}}, {"replace", 0, {320, 240}},
  };
  for (const Case& c : cases) {
    fs::copy_file(dir.path() + "wide.jpg", picture, fs::copy_options::overwrite_existing);
    std::ofstream(picture + ".info") << "Ebay\n1200\n900\n";
    const std::string before = slurp(picture);
    useDialogs(c.answer, dir.path() + "other.png");
    EXPECT_EQ(run("changeImage*0*" + dir.path() + "images\\4.jpg*null"), c.status) << c.answer;
    EXPECT_EQ(Pictures::size(picture), c.size) << c.answer;
    if (c.status != 0) {
      EXPECT_TRUE(slurp(picture) == before) << "rewritten on " << c.answer;
      EXPECT_EQ(slurp(picture + ".info"), "Ebay\n1200\n900\n") << c.answer;
    }
  }
}

TEST_F(CompanionTest, SoundTakesMp3Files) {
  std::ofstream(dir.path() + "tune.mp3", std::ios::binary) << "ID3\x03" << std::string(100, 'a');
  std::ofstream(dir.path() + "frames.mp3", std::ios::binary) << "\xFF\xFB\x90\x00" << std::string(100, 'b');
  run("sound*0*" + dir.path() + "1.mp3*Standard", dir.path() + "tune.mp3");
  run("sound*0*" + dir.path() + "2.mp3*Standard", dir.path() + "frames.mp3");
  run("sound*0*" + dir.path() + "3.mp3*Standard", dir.path() + "wide.jpg");
  EXPECT_EQ(slurp(dir.path() + "1.mp3"), slurp(dir.path() + "tune.mp3"));
  EXPECT_EQ(slurp(dir.path() + "2.mp3"), slurp(dir.path() + "frames.mp3"));
  EXPECT_FALSE(fs::exists(dir.path() + "3.mp3"));
}

}  // namespace
}  // namespace companiontest
