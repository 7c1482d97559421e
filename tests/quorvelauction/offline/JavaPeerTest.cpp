// The transfer framing against the platform's own object streams: the Java
// servlet peer decodes what the client writes, and the client reads what the
// peer's writer wrote, resets and compression included.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <string>

#include "platform/ByteArrayInputStream.h"
#include "platform/ObjectInputStream.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OnlineCommunication.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/CaptureOut.h"
#include "support/OnlineService.h"
#include "support/ServletPeer.h"
#include "support/TempDir.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::OnlineCommunication;
using quorvelauction::offline::Server;
using testsupport::TempDir;

namespace {

// The content the peer sends: bytes i * 7 + seed.
std::string peerContent(int length, int seed) {
  std::string data(length, '\0');
  for (int i = 0; i < length; ++i) data[i] = static_cast<char>(i * 7 + seed);
  return data;
}

std::string described(const std::string& bytes) {
  char crc[16];
  snprintf(crc, sizeof crc, "%lx",
           crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  return std::to_string(bytes.size()) + ":" + crc;
}

class JavaPeerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { peer_ = new testsupport::ServletPeer(); }
  static void TearDownTestSuite() {
    delete peer_;
    peer_ = nullptr;
  }
  void SetUp() override {
    GlobalConfig::setFileStreamFactoryHelper(&files_);
    dir_.write("WEB-INF/global.properties", "defaultDomain=auction_\\u00e9\n");
    GlobalConfig::load(dir_.path(), dir_.path());
    service_.setHttpHandler(peer_->handler());
    Server::transferStatusSent = 0;
  }
  void TearDown() override { GlobalConfig::setFileStreamFactoryHelper(nullptr); }

  static testsupport::ServletPeer* peer_;
  TempDir dir_;
  Server::CryptedStreams files_;
  testsupport::OnlineService service_;
};

testsupport::ServletPeer* JavaPeerTest::peer_ = nullptr;

TEST_F(JavaPeerTest, PeerDecodesEveryUploadForm) {
  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i % 251);
  std::string pic = dir_.write("pic.jpg", big);
  std::string empty = dir_.write("s.mp3", "");
  dir_.write("v.swf", std::string(1021, 's'));  // its length field crosses a record boundary
  dir_.write("v.jpg", "tiny");
  const std::string session = "S\xE2\x82\xAC";
  const std::string host = service_.host();
  struct Case {
    const char* name;
    std::function<std::string()> call;
    std::string decoded;
  };
  const Case cases[] = {
      {"uploadFirstImage", [&] { return OnlineCommunication::uploadFirstImage(host, pic, session, 42, "3.jpg"); },
       "imageUpload|" + session + "|42|3.jpg|first|" + described(big) + "|-1"},
      {"uploadImage", [&] { return OnlineCommunication::uploadImage(host, pic, session, -7, "", std::string("a\0b", 3)); },
       "imageUpload|" + session + "|-7||" + std::string("a\0b", 3) + "|" + described(big) + "|-1"},
      {"uploadSound", [&] { return OnlineCommunication::uploadSound(host, empty, session, 1, "1.mp3", "Standard"); },
       "soundUpload|" + session + "|1|1.mp3|Standard|0:0|-1"},
      {"uploadScaledImage", [&] { return OnlineCommunication::uploadScaledImage(host, pic, session, 5, 6, "-90.jpg"); },
       "uploadScaledImage|" + session + "|5|6|-90.jpg|" + described(big) + "|-1"},
      {"uploadVideoAndImage", [&] { return OnlineCommunication::uploadVideoAndImage(host, dir_.file("v"), session, 9, "2.jpg"); },
       "videoAndImageUpload|" + session + "|9|2.jpg|swf|" + described(std::string(1021, 's')) + "|" +
           described("tiny") + "|-1"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.decoded) << c.name;
  // The log record's answer is dropped: the peer's own reading is asked for.
  const std::string text = "exception:\n\xF0\x9F\x98\x80" + std::string(2000, 'x');
  OnlineCommunication::log(host, session, "offlineException", text);
  platform::ByteArrayInputStream reply(peer_->exchange(service_.httpRequests().back().body));
  platform::ObjectInputStream in(reply);
  EXPECT_EQ(in.readUTF(), "log|" + session + "|offlineException|" + text + "|-1");
  EXPECT_EQ(Server::transferStatusSent.load(), 3 * 5000 + 1021 + 4);
}

TEST_F(JavaPeerTest, ClientReadsWhatThePeerWrote) {
  std::string images = dir_.path() + "images/";
  platform::File(images).mkdirs();
  EXPECT_EQ(OnlineCommunication::downloadVideo(images, service_.host(), "S", "dir\xC3\xA4", 4), 4);
  EXPECT_EQ(TempDir::read(images + "4.swf"), peerContent(3000, 1));
  EXPECT_EQ(TempDir::read(images + "4.jpg"), peerContent(100, 2));
  EXPECT_EQ(Server::transferStatusSent.load(), 3100);

  auto entry = OnlineCommunication::getOfflineFilelistInfo("getOfflineFilelistInfo2", service_.host(), "S");
  EXPECT_EQ(entry.name, "filelist.txt|auction_\xC3\xA9|S|getOfflineFilelistInfo2WithDomain");
  EXPECT_EQ(entry.size, 1500);
  EXPECT_EQ(entry.checksum, 4294967295LL);

  platform::File(dir_.path() + "lib").mkdirs();
  testsupport::CaptureOut out;
  OnlineCommunication::downloadOfflineFiles("downloadOfflineFiles", dir_.path(), service_.host(), "S",
                                            {"filelist.txt", "lib/x"});
  EXPECT_EQ(TempDir::read(dir_.file("filelist.txt.update")), peerContent(12000, 0));
  EXPECT_EQ(TempDir::read(dir_.file("lib/x.update")), peerContent(5000, 1));
}

}  // namespace
