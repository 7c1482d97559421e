// The picture and sound commands through the running server with the
// stand-in companion: the exact command lines it was started with, the size
// variants in their order, the results and the image list.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    out.push_back(text.substr(start, end - start));
  return out;
}

// One server on an installation with the demo's picture sizes, the stand-in
// companion and a user folder that already holds picture 3, so the start-up
// scan is known to be over once the list shows it.
class MediaCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    inst.prepareMedia();
    write("images/3.jpg", "old");
    setenv("QA_COMPANION_LOG", log().c_str(), 1);
    setenv("QA_COMPANION_CHOICE_FILE", choiceFile().c_str(), 1);
    server = std::make_unique<ServerProcess>(inst.folder(), user());
    ASSERT_TRUE(server->running()) << server->output();
    for (int i = 0; i < 250 && images() != "<images><3 t=\"Standard\"/></images>"; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(images(), "<images><3 t=\"Standard\"/></images>") << server->output();
  }
  void TearDown() override {
    unsetenv("QA_COMPANION_LOG");
    unsetenv("QA_COMPANION_CHOICE_FILE");
  }

  std::string user() const { return inst.user(); }
  std::string log() const { return user() + "../companion.log"; }
  std::string choiceFile() const { return user() + "../choice.txt"; }
  std::string program() const { return inst.folder() + "companion"; }
  void write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(user() + relative, std::ios::binary) << bytes;
  }
  bool exists(const std::string& relative) const { return fs::exists(user() + relative); }
  void choose(const std::string& choice) const { std::ofstream(choiceFile()) << choice; }
  // The command lines since the last call.
  std::vector<std::string> started() {
    std::vector<std::string> all = lines(slurp(log()));
    std::vector<std::string> fresh(all.begin() + std::min(seen_, all.size()), all.end());
    seen_ = all.size();
    return fresh;
  }
  std::string scale(int id, const std::string& suffix, int w, int h) const {
    return program() + " scale*" + user() + "images/" + std::to_string(id) + ".jpg*" + user() + "images/" +
           std::to_string(id) + suffix + "*" + std::to_string(w) + "*" + std::to_string(h) + "*0";
  }
  // The result text, or "failed: " and the status when the request failed.
  std::string call(const std::string& function, const std::vector<std::string>& args,
                   const std::string& extra = "") {
    std::string body = "func=" + function;
    for (size_t i = 0; i < args.size(); ++i) body += "&a" + std::to_string(i) + "=" + formEncode(args[i]);
    body += extra;
    Connection c(server->port());
    c.send("POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    Reply reply = c.readReply();
    if (reply.status != "200 Ok") return "failed: " + reply.status;
    return formDecode(reply.body.substr(std::min<size_t>(7, reply.body.size())));
  }
  std::string images() { return call("userImages", {"offline"}); }

  Installation inst;
  std::unique_ptr<ServerProcess> server;
  size_t seen_ = 0;
};

TEST_F(MediaCommandsTest, SelectOnePicture) {
  struct Case {
    std::string choice, type, result;
    std::vector<std::string> scales;  // after the image line
    std::string listed;               // the list entry added, if any
  };
  // Each case takes the next number: 4, 5, ...; a cancelled one leaves its
  // number free for the next.
  const Case cases[] = {
      {"picture", "Standard", "selected:Standard:4",
       {scale(4, "v.jpg", 400, 300), scale(4, "e.jpg", 640, 480), scale(4, "t.jpg", 96, 72)},
       "<4 t=\"Standard\"/>"},
      // The picture itself is rescaled to its own type's size.
      {"picture", "Ebay", "selected:Ebay:5",
       {scale(5, "v.jpg", 400, 300), scale(5, "e.jpg", 640, 480), scale(5, ".jpg", 640, 480),
        scale(5, "t.jpg", 96, 72)},
       "<5 t=\"Ebay\"/>"},
      // A type without a size setting takes the Standard size.
      {"picture", "Gallery", "selected:Gallery:6",
       {scale(6, "v.jpg", 400, 300), scale(6, "e.jpg", 640, 480), scale(6, ".jpg", 400, 300),
        scale(6, "t.jpg", 96, 72)},
       "<6 t=\"Gallery\"/>"},
      {"cancel", "Standard", "aborted", {}, ""},
      {"swf", "Standard", "selected:swf:7", {}, ""},
  };
  std::string list = "<3 t=\"Standard\"/>";
  for (const Case& c : cases) {
    choose(c.choice);
    const std::string id = c.result == "aborted" ? "7" : c.result.substr(c.result.rfind(':') + 1);
    EXPECT_EQ(call("offlineSelectImage", {"offline", "1", c.type}), c.result) << c.choice << " " << c.type;
    std::vector<std::string> expected = {program() + " image*0*" + user() + "images/" + id + ".jpg*" + c.type};
    expected.insert(expected.end(), c.scales.begin(), c.scales.end());
    EXPECT_EQ(started(), expected) << c.type;
    list += c.listed;
    EXPECT_EQ(images(), "<images>" + list + "</images>");
  }
  EXPECT_TRUE(exists("images/7.swf"));
  EXPECT_EQ(slurp(user() + "images/5.jpg"), "scaled " + user() + "images/5.jpg to 640x480 turned 0\n");
}

TEST_F(MediaCommandsTest, TypeThatWouldChangeTheCommandIsRefused) {
  for (const std::string& type : {std::string("Standard x"), std::string("a*b"), std::string("Eb\tay"), std::string("Eb\x01" "ay")}) {
    EXPECT_EQ(call("offlineSelectImage", {"offline", "1", type}), "error:invalid_type");
    EXPECT_EQ(call("offlineSelectImages", {"offline", "1", type}), "error:invalid_type");
    EXPECT_EQ(call("offlineChangeImage", {"offline", "3"}, "&type=" + formEncode(type)), "error:invalid_type");
  }
  EXPECT_TRUE(started().empty());
}

TEST_F(MediaCommandsTest, SelectSeveralPictures) {
  choose("picture 3");
  EXPECT_EQ(call("offlineSelectImages", {"offline", "1", "Ebay"}), "selected:Ebay:4:Ebay:5:Ebay:6");
  std::vector<std::string> expected = {program() + " images*0*" + user() + "images\\*4*Ebay"};
  for (int id : {4, 5, 6})
    for (const std::string& line : {scale(id, "v.jpg", 400, 300), scale(id, "e.jpg", 640, 480),
                                    scale(id, ".jpg", 640, 480), scale(id, "t.jpg", 96, 72)})
      expected.push_back(line);
  EXPECT_EQ(started(), expected);
  EXPECT_EQ(images(), "<images><3 t=\"Standard\"/><4 t=\"Ebay\"/><5 t=\"Ebay\"/><6 t=\"Ebay\"/></images>");

  choose("picture 0");
  write("images/images.txt", "0\n");
  EXPECT_EQ(call("offlineSelectImages", {"offline", "1", "Standard"}), "aborted");
  choose("swf");
  EXPECT_EQ(call("offlineSelectImages", {"offline", "1", "Standard"}), "selected:swf:7");
  EXPECT_EQ(started().size(), 2u);
}

TEST_F(MediaCommandsTest, CountOfSeveralPicturesIsTheirs) {
  // A count beyond the pictures written is bounded by those that exist.
  choose("overcount 2");
  EXPECT_EQ(call("offlineSelectImages", {"offline", "1", "Standard"}), "selected:Standard:4:Standard:5");
  EXPECT_EQ(started().size(), 1u + 2 * 3);
  // A count left from before is no count of this selection.
  write("images/images.txt", "5\n");
  choose("nocount 1");
  EXPECT_EQ(call("offlineSelectImages", {"offline", "1", "Standard"}).rfind("failed: ", 0), 0u);
  EXPECT_EQ(started().size(), 1u);
  EXPECT_FALSE(exists("images/6v.jpg"));
}

TEST_F(MediaCommandsTest, ChangePicture) {
  EXPECT_EQ(call("offlineChangeImage", {"offline", "3"}), "ok");
  EXPECT_EQ(started(), (std::vector<std::string>{program() + " changeImage*0*" + user() + "images\\3.jpg*null",
                                                  scale(3, "v.jpg", 400, 300), scale(3, "e.jpg", 640, 480),
                                                  scale(3, "t.jpg", 96, 72)}));
  choose("cancel");
  EXPECT_EQ(call("offlineChangeImage", {"offline", "3"}, "&type=Ebay"), "aborted");
  EXPECT_EQ(started(), (std::vector<std::string>{program() + " changeImage*0*" + user() + "images\\3.jpg*Ebay"}));
  choose("picture");
  EXPECT_EQ(call("offlineChangeImage", {"offline", "abc"}).rfind("failed: ", 0), 0u);
  // The list is never changed by an edit.
  EXPECT_EQ(images(), "<images><3 t=\"Standard\"/></images>");
}

TEST_F(MediaCommandsTest, SelectSound) {
  EXPECT_EQ(call("offlineSelectSound", {"offline", "1", "Ebay"}), "selected:Standard:1");
  write("sounds/9.mp3", "x");
  choose("cancel");
  EXPECT_EQ(call("offlineSelectSound", {"offline", "1", "Standard"}), "aborted");
  EXPECT_EQ(started(), (std::vector<std::string>{program() + " sound*0*" + user() + "sounds/1.mp3*Standard",
                                                  program() + " sound*0*" + user() + "sounds/10.mp3*Standard"}));
  EXPECT_FALSE(exists("sounds/10.mp3"));
}

TEST_F(MediaCommandsTest, RemovePictures) {
  choose("picture 3");
  ASSERT_EQ(call("offlineSelectImages", {"offline", "1", "Standard"}), "selected:Standard:4:Standard:5:Standard:6");
  for (const std::string name : {"5-90.jpg", "5.swf", "55.jpg", "15.jpg", "05.jpg", "4.jpg.deleted"}) write("images/" + name, "x");
  fs::create_directories(user() + "images/5x");
  write("images/5x/keep.jpg", "x");

  // "05": the list entry 5 goes (numbers are compared), only the file 05.jpg.
  EXPECT_EQ(call("removeImage", {"offline", "05"}), "ok");
  EXPECT_FALSE(exists("images/05.jpg"));
  EXPECT_TRUE(exists("images/5.jpg"));
  EXPECT_EQ(images(), "<images><3 t=\"Standard\"/><4 t=\"Standard\"/><6 t=\"Standard\"/></images>");

  EXPECT_EQ(call("removeImage", {"offline", "5"}), "ok");
  for (const std::string name : {"5.jpg", "5v.jpg", "5e.jpg", "5t.jpg", "5-90.jpg", "5.jpg.info", "5.swf"})
    EXPECT_FALSE(exists("images/" + name)) << name;
  for (const std::string name : {"55.jpg", "15.jpg", "5x/keep.jpg"}) EXPECT_TRUE(exists("images/" + name)) << name;

  EXPECT_EQ(call("removeImage", {"offline", "4  6 "}), "ok");
  for (const std::string name : {"4.jpg", "4v.jpg", "4.jpg.deleted", "6.jpg", "6t.jpg"})
    EXPECT_FALSE(exists("images/" + name)) << name;
  EXPECT_EQ(images(), "<images><3 t=\"Standard\"/></images>");
  EXPECT_EQ(call("removeImage", {"offline", ""}), "ok");
  EXPECT_TRUE(exists("images/3.jpg"));
  for (const auto& entry : fs::recursive_directory_iterator(user() + "images"))
    EXPECT_EQ(entry.path().string().find(".deleted"), std::string::npos) << entry.path();
}

TEST_F(MediaCommandsTest, SelectionsAtOnceGetTheirOwnNumbers) {
  choose("picture slow");
  std::vector<std::future<std::string>> results;
  for (int i = 0; i < 3; ++i)
    results.push_back(std::async(std::launch::async, [&] { return call("offlineSelectImage", {"offline", "1", "Standard"}); }));
  results.push_back(std::async(std::launch::async, [&] { return call("offlineSelectImages", {"offline", "1", "Standard"}); }));
  std::set<std::string> ids;
  for (auto& r : results) {
    std::string result = r.get();
    ASSERT_EQ(result.rfind("selected:Standard:", 0), 0u) << result;
    for (size_t at = 0; (at = result.find(":Standard:", at)) != std::string::npos; at += 10)
      EXPECT_TRUE(ids.insert(result.substr(at + 10, result.find(':', at + 10) - at - 10)).second) << result;
  }
  EXPECT_EQ(ids, (std::set<std::string>{"4", "5", "6", "7", "8"}));
  // Each picture is listed once, whatever the order the commands ended in.
  const std::string list = images();
  for (const std::string& id : ids) {
    const std::string entry = "<" + id + " t=\"Standard\"/>";
    EXPECT_EQ(list.find(entry), list.rfind(entry)) << list;
    EXPECT_NE(list.find(entry), std::string::npos) << list;
  }
}

}  // namespace
}  // namespace e2e
