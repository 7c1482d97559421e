// Verification, submission and export through the running server against the
// stand-in service: the calls and uploads in their order, what the service
// receives, what every failure leaves behind, and the transfer counters.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"
#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/Properties.h"
#include "quorvelauction/offline/CryptedFileInputStream.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/ObjectBytes.h"
#include "support/OnlineService.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;
using quorvelauction::offline::Server;
using quorvelauction::offline::ServiceTimeouts;
using testsupport::OnlineService;
using testsupport::utfReply;
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One transfer-servlet request as the stand-in read it.
struct Upload {
  std::string command, line;  // line: command, fields and "[file bytes]" joined by blanks
  std::string name;           // the remote name or the variant's suffix
  int64_t fileBytes = 0;
  std::string logType, logText;
};

std::string readFile(platform::ObjectInputStream& in, Upload& upload) {
  int32_t length = in.readInt();
  std::string bytes(static_cast<size_t>(length), '\0');
  for (int32_t done = 0; done < length;) {
    int got = in.read(bytes.data(), done, length - done);
    if (got <= 0) throw std::runtime_error("file field cut short");
    done += got;
  }
  upload.fileBytes += length;
  return " [" + bytes + "]";
}

Upload decode(const std::string& body) {
  platform::ByteArrayInputStream source(body);
  platform::ObjectInputStream in(source);
  Upload u;
  u.command = in.readUTF();
  const std::string session = in.readUTF();
  u.line = u.command + " " + session;
  if (u.command == "log") {
    u.logType = in.readUTF();
    u.logText = in.readUTF();
    return u;
  }
  // One field at a time: the order of the reads is the order of the fields.
  u.line += " " + std::to_string(in.readInt());
  if (u.command == "uploadScaledImage") u.line += " " + std::to_string(in.readInt());
  u.name = in.readUTF();
  u.line += " " + u.name;
  if (u.command != "uploadScaledImage") u.line += " " + in.readUTF();
  u.line += readFile(in, u);
  if (u.command == "videoAndImageUpload") u.line += readFile(in, u);
  return u;
}

// The auctions of the main list: 1 with a picture referenced twice, a movie
// without variants, a sound and "flashVars"; 2 with nothing to upload; 3 with
// one missing variant, an extra one and no HTML variation.
const std::string kAuction1 =
    "<data><auction><item><faPictures><picture id=\"3\" order=\"1\"/><picture id=\"7\" order=\"2\"/>"
    "<picture id=\"6\" order=\"\"/></faPictures><GalleryURL><data id=\"3\"/></GalleryURL>"
    "<faModules><Sound><data selected=\"true\" link=\"2\"/></Sound></faModules>"
    "<faHtmlVariation><data value=\"auction\" flashVars=\"a=1&amp;pic1=3&amp;pic2=7&amp;&amp;=x&amp;b\"/>"
    "</faHtmlVariation></item></auction></data>";
const std::string kAuction2 = "<data><auction><item><title>two</title></item></auction></data>";
const std::string kAuction3 =
    "<data><auction><item><faPictures><picture id=\"5\" order=\"1\"/></faPictures></item></auction></data>";

// A server with the picture sizes, the stand-in companion and its own user
// folder, whose session comes from a login made before (inherited), against
// the stand-in service and a stand-in transfer servlet that hands out online
// picture numbers from 7 on.
class SubmitCommandsTest : public ::testing::Test {
 public:
  void SetUp() override {
    inst.store("htdocs/app/WEB-INF/global.properties",
               "server.host=" + service.host() + "\ndomains=auction_de\ndefaultDomain=auction_de\n");
    inst.prepareMedia();
    setenv("QA_COMPANION_LOG", (user() + "../companion.log").c_str(), 1);
    service.answer("auctionCreateWithPictures", [this](const OnlineService::SoapCall&) {
      return OnlineService::SoapAnswer::value(std::to_string(++lastAuction));
    });
    service.answer("auctionSave", OnlineService::SoapAnswer::value("ok"));
    service.answer("auctionSubmitList", OnlineService::SoapAnswer::value("submitted"));
    service.answer("auctionExportList", OnlineService::SoapAnswer::value("exported"));
    service.answer("auctionVerify", OnlineService::SoapAnswer::value("verified"));
    service.setHttpHandler([this](const OnlineService::HttpRequest& request) { return servlet(request); });
  }
  void TearDown() override { unsetenv("QA_COMPANION_LOG"); }

  void start() {
    Server::serverSessionId.set("S-9");
    server = std::make_unique<ServerProcess>(inst.folder(), user());
    Server::serverSessionId.set("");
    ASSERT_TRUE(server->running()) << server->output();
    if (!serving) service.start();
    serving = true;
  }

  // The main list's media, records and answers.
  void prepareList() {
    for (const auto& [name, bytes] : std::map<std::string, std::string>{
             {"images/3.jpg", "jpg3"}, {"images/3v.jpg", "v3"}, {"images/3e.jpg", "e3"},
             {"images/3t.jpg", "t3"}, {"images/3-90.jpg", "r3"}, {"images/7.swf", "swf7"},
             {"images/7.jpg", "jpg7"}, {"images/5.jpg", "jpg5!"}, {"images/5v.jpg", "v5"},
             {"images/5e.jpg", "e5"}, {"images/5up.jpg", "up5"}, {"sounds/2.mp3", "mp3-2"}})
      write(name, bytes);
  }
  void saveList() {
    ASSERT_EQ(call("auctionSave", {"1", kAuction1}), "ok");
    ASSERT_EQ(call("auctionSave", {"2", kAuction2}), "ok");
    ASSERT_EQ(call("auctionSave", {"3", kAuction3}), "ok");
  }

  std::string user() const { return inst.user(); }
  void write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(user() + relative, std::ios::binary) << bytes;
  }
  // What the stand-in companion writes for a variant of the source.
  std::string scaled(const std::string& source, const char* size) const {
    return "scaled " + user() + "images/" + source + " to " + size + " turned 0\n";
  }

  // The result text, or "failed: " and the status.
  std::string call(const std::string& function, const std::vector<std::string>& args) {
    std::string body = "func=" + function + "&a0=offline";
    for (size_t i = 0; i < args.size(); ++i) body += "&a" + std::to_string(i + 1) + "=" + formEncode(args[i]);
    Connection c(server->port());
    c.send("POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    Reply reply = c.readReply();
    if (reply.status != "200 Ok") return "failed: " + reply.status;
    return formDecode(reply.body.substr(std::min<size_t>(7, reply.body.size())));
  }
  std::string submit(const std::string& ids, const std::string& function = "auctionSubmitList") {
    return call(function, {ids, "EUR", "2,50"});
  }
  // The numbers a list command shows.
  std::set<int> listed(const std::string& list) {
    std::set<int> ids;
    const std::string text = call(list, {"-1", "", ""});
    for (size_t at = 0; (at = text.find("<id>", at)) != std::string::npos; at += 4) ids.insert(std::stoi(text.substr(at + 4)));
    return ids;
  }
  std::optional<std::string> stored(int id, const char* key) const {
    Server::programPath = inst.folder();
    quorvelauction::offline::CryptedFileInputStream in(user() + "WEB-INF/user/auction/" + std::to_string(id));
    platform::Properties record;
    record.load(in);
    return record.getProperty(key);
  }

  // Probes, SOAP calls and servlet requests in order; log records left out.
  std::vector<std::string> sequence() {
    std::vector<std::string> out;
    std::vector<OnlineService::HttpRequest> requests = service.httpRequests();
    size_t next = 0;
    for (const std::string& event : service.events()) {
      if (event.rfind("http:", 0) != 0) {
        out.push_back(event);
        continue;
      }
      Upload upload = decode(requests.at(next++).body);
      if (upload.command != "log") out.push_back(upload.line);
    }
    return out;
  }
  std::vector<Upload> uploads() {
    std::vector<Upload> out;
    for (const auto& request : service.httpRequests()) out.push_back(decode(request.body));
    return out;
  }
  // The remote log records once count of them have come.
  std::vector<std::pair<std::string, std::string>> logs(size_t count) {
    std::vector<std::pair<std::string, std::string>> out;
    for (int i = 0; i < 1000; ++i) {
      out.clear();
      for (const Upload& u : uploads())
        if (u.command == "log") out.emplace_back(u.logType, u.logText);
      if (out.size() >= count) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return out;
  }
  Pairs pairsOf(const std::string& function, size_t index = 0) {
    size_t seen = 0;
    for (const auto& c : service.soapCalls())
      if (c.function == function && seen++ == index) return c.pairs;
    return {};
  }

  // The stand-in servlet: online picture numbers from 7 on, sound 9001,
  // "ok" otherwise; answerFor may replace an answer, delay slows every upload.
  OnlineService::HttpReply servlet(const OnlineService::HttpRequest& request) {
    Upload upload = decode(request.body);
    OnlineService::HttpReply reply;
    if (upload.command != "log" && delay.count() > 0) std::this_thread::sleep_for(delay);
    std::lock_guard<std::mutex> guard(servletMutex);
    if (answerFor) {
      if (std::optional<OnlineService::HttpReply> replaced = answerFor(upload)) return *replaced;
    }
    std::string text = "ok";
    if (upload.command == "imageUpload" || upload.command == "videoAndImageUpload")
      text = std::to_string(nextPicture++);
    if (upload.command == "soundUpload") text = "9001";
    reply.body = utfReply(text);
    return reply;
  }

  OnlineService service{OnlineService::Deferred{}};
  Installation inst;
  std::unique_ptr<ServerProcess> server;
  bool serving = false;
  std::mutex servletMutex;
  int nextPicture = 7;
  std::atomic<int> lastAuction{500};
  std::function<std::optional<OnlineService::HttpReply>(const Upload&)> answerFor;
  std::chrono::milliseconds delay{0};
};

OnlineService::HttpReply answering(const std::string& text) {
  OnlineService::HttpReply reply;
  reply.body = utfReply(text);
  return reply;
}

class SubmitOrExportTest : public SubmitCommandsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SubmitOrExportTest, ListOfThreeAuctions) {
  const std::string function = GetParam();
  prepareList();
  start();
  saveList();
  EXPECT_EQ(submit("1:2:3", function), function == "auctionSubmitList" ? "submitted" : "exported");

  const std::string s = "S-9 501 ";
  EXPECT_EQ(sequence(), (std::vector<std::string>{
      "probe",
      "soap:auctionCreateWithPictures",
      "imageUpload " + s + "3.jpg first [jpg3]",
      "uploadScaledImage " + s + "7 -90.jpg [r3]",
      "uploadScaledImage " + s + "7 t.jpg [t3]",
      "uploadScaledImage " + s + "7 v.jpg [v3]",
      "uploadScaledImage " + s + "7 e.jpg [e3]",
      "videoAndImageUpload " + s + "7.jpg swf [swf7] [jpg7]",
      "uploadScaledImage " + s + "8 t.jpg [" + scaled("7.jpg", "96x72") + "]",
      "uploadScaledImage " + s + "8 v.jpg [" + scaled("7.jpg", "400x300") + "]",
      "uploadScaledImage " + s + "8 e.jpg [" + scaled("7.jpg", "640x480") + "]",
      "imageUpload " + s + "3.jpg first [jpg3]",
      "uploadScaledImage " + s + "9 -90.jpg [r3]",
      "uploadScaledImage " + s + "9 t.jpg [t3]",
      "uploadScaledImage " + s + "9 v.jpg [v3]",
      "uploadScaledImage " + s + "9 e.jpg [e3]",
      "soundUpload " + s + "1.mp3 Standard [mp3-2]",
      "soap:auctionSave",
      "soap:auctionCreateWithPictures",
      "soap:auctionSave",
      "soap:auctionCreateWithPictures",
      "imageUpload S-9 503 5.jpg first [jpg5!]",
      "uploadScaledImage S-9 503 10 t.jpg [" + scaled("5.jpg", "96x72") + "]",
      "uploadScaledImage S-9 503 10 v.jpg [v5]",
      "uploadScaledImage S-9 503 10 e.jpg [e5]",
      "uploadScaledImage S-9 503 10 up.jpg [up5]",
      "soap:auctionSave",
      "soap:" + function,
  }));

  // Picture 3 became 7 and picture 7 became 8: "flashVars" says so, and 7 is
  // not taken for picture 7 once more.
  EXPECT_EQ(pairsOf("auctionSave", 0),
            (Pairs{{"sessionId", "S-9"},
                   {"auctionIdString", "501"},
                   {"xmlContent",
                    "<data><auction><item><faPictures><picture id=\"7\" order=\"1\"/><picture id=\"8\" order=\"2\"/>"
                    "<picture id=\"6\" order=\"\"/></faPictures><GalleryURL><data id=\"9\"/></GalleryURL>"
                    "<faModules><Sound><data selected=\"true\" link=\"9001\"/></Sound></faModules>"
                    "<faHtmlVariation><data value=\"auction\" flashVars=\"&amp;a=1&amp;pic1=7&amp;pic2=8&amp;b=\"/>"
                    "</faHtmlVariation></item></auction></data>"}}));
  EXPECT_EQ(pairsOf("auctionSave", 1), (Pairs{{"sessionId", "S-9"}, {"auctionIdString", "502"}, {"xmlContent", kAuction2}}));
  EXPECT_EQ(pairsOf("auctionSave", 2).at(2).second,
            "<data><auction><item><faPictures><picture id=\"10\" order=\"1\"/></faPictures></item></auction></data>");
  EXPECT_EQ(pairsOf(function), (Pairs{{"sessionId", "S-9:4711"}, {"auctionIds", "501:502:503"},
                                      {"currency", "EUR"}, {"trevanulosixFees", "2,50"}}));
  EXPECT_EQ(pairsOf("auctionCreateWithPictures"), (Pairs{{"sessionId", "S-9"}, {"pictures", ""}}));

  // Every suffix is named for every uploaded picture, also those that are missing.
  const std::string output = server->output();
  for (const char* suffix : {"-90.jpg", "t.jpg", "v.jpg", "e.jpg", "up.jpg", "left.jpg", "right.jpg", "down.jpg"})
    EXPECT_NE(output.find("localFilename: " + user() + "images/7" + suffix + ", extension: " + suffix),
              std::string::npos)
        << suffix;

  // Missing variants were made in the table's order, only where missing.
  const std::string made = slurp(user() + "../companion.log");
  std::vector<size_t> at;
  for (const char* target : {"images/7v.jpg*400*300*0", "images/7e.jpg*640*480*0", "images/7t.jpg*96*72*0",
                             "images/5t.jpg*96*72*0"})
    at.push_back(made.find(user() + target));
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end()) && at.back() != std::string::npos) << made;
  EXPECT_EQ(std::count(made.begin(), made.end(), '\n'), 4) << made;

  // The records are submitted, keep their local XML, and the made variants stay.
  EXPECT_EQ(listed("auctionSubmittedList"), (std::set<int>{1, 2, 3}));
  EXPECT_EQ(stored(1, "state"), "2");
  EXPECT_EQ(stored(1, "xmlContent"), kAuction1);
  EXPECT_TRUE(fs::exists(user() + "images/5t.jpg"));

  // The sum counts the pictures (3 twice) and the sound; sent counts every file field.
  int64_t sent = 0;
  for (const Upload& u : uploads()) sent += u.fileBytes;
  EXPECT_EQ(call("offlineGetTransferStatus", {}), std::to_string(sent) + ":" + std::to_string(4 + 4 + 4 + 5 + 5));
  EXPECT_TRUE(logs(0).empty());
}

INSTANTIATE_TEST_SUITE_P(BothCommands, SubmitOrExportTest, ::testing::Values("auctionSubmitList", "auctionExportList"));

// A failure on the way: what the front end gets, the remote log record sent,
// and that every record stays unsubmitted, to be sent again.
struct FailureCase {
  const char* name;
  std::function<void(SubmitCommandsTest&)> arrange;
  std::string result;             // the answer, or its start when it ends in "..."
  std::optional<std::string> log;  // the remote log type; its text is the answer
  int saves;                       // "auctionSave" calls made
};

class SubmitFailureTest : public SubmitCommandsTest, public ::testing::WithParamInterface<FailureCase> {};

std::function<void(SubmitCommandsTest&)> servletAnswers(const std::string& command, const std::string& name,
                                                        OnlineService::HttpReply reply) {
  return [=](SubmitCommandsTest& t) {
    t.answerFor = [=](const Upload& u) -> std::optional<OnlineService::HttpReply> {
      if (u.command != command || u.name != name) return std::nullopt;
      return reply;
    };
  };
}

// The text as answer; nothing: status 500.
std::function<void(SubmitCommandsTest&)> servletAnswers(const std::string& command, const std::string& name,
                                                        std::optional<std::string> text) {
  OnlineService::HttpReply broken;
  broken.status = 500;
  return servletAnswers(command, name, text ? answering(*text) : broken);
}

// The connection closes without any reply.
OnlineService::HttpReply cutOff() {
  OnlineService::HttpReply reply;
  reply.raw = "";
  return reply;
}

TEST_P(SubmitFailureTest, LeavesTheRecordsToBeSentAgain) {
  const FailureCase& c = GetParam();
  prepareList();
  c.arrange(*this);
  start();
  saveList();
  const std::string result = submit("1:2:3");
  if (c.result.size() > 3 && c.result.substr(c.result.size() - 3) == "...")
    EXPECT_EQ(result.rfind(c.result.substr(0, c.result.size() - 3), 0), 0u) << result;
  else
    EXPECT_EQ(result, c.result);
  const std::vector<std::string> calls = sequence();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "soap:auctionSave"), c.saves);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "soap:auctionSubmitList"), c.saves == 3 ? 1 : 0);
  if (c.log) {
    EXPECT_EQ(logs(1), (std::vector<std::pair<std::string, std::string>>{{*c.log, result}}));
  } else {
    EXPECT_TRUE(logs(0).empty());
  }
  EXPECT_EQ(listed("auctionNewList"), (std::set<int>{1, 2, 3}));
  EXPECT_EQ(stored(1, "state"), "0");
  EXPECT_EQ(stored(1, "xmlContent"), kAuction1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, SubmitFailureTest,
    ::testing::Values(
        FailureCase{"NoPictureFile", [](SubmitCommandsTest& t) { fs::remove(t.user() + "images/5.jpg"); },
                    "error:file not found", "uploadError1", 2},
        FailureCase{"PictureRefused", servletAnswers("imageUpload", "5.jpg", "error:quota"), "error:quota",
                    "uploadError1", 2},
        FailureCase{"PictureAnswerNoNumber", servletAnswers("imageUpload", "5.jpg", "five"),
                    "error:upload answered five", "uploadError1", 2},
        FailureCase{"PictureUploadBroken", servletAnswers("imageUpload", "5.jpg", std::nullopt),
                    "error:upload failed: ...", "uploadError1", 2},
        FailureCase{"MovieRefused", servletAnswers("videoAndImageUpload", "7.jpg", "error:movie"), "error:movie",
                    "uploadError1", 0},
        FailureCase{"VariantRefused", servletAnswers("uploadScaledImage", "up.jpg", "error:variant"),
                    "error:variant", "uploadError2", 2},
        FailureCase{"VariantUploadBroken", servletAnswers("uploadScaledImage", "up.jpg", std::nullopt),
                    "error:upload failed: ...", "uploadError2", 2},
        FailureCase{"VariantConnectionCut", servletAnswers("uploadScaledImage", "up.jpg", cutOff()),
                    "error:upload failed: ...", "uploadError2", 2},
        FailureCase{"SoundRefused", servletAnswers("soundUpload", "1.mp3", "error:sound"), "error:sound",
                    "uploadError4", 0},
        FailureCase{"SoundAnswerNoNumber", servletAnswers("soundUpload", "1.mp3", "loud"),
                    "error:upload answered loud", "uploadError4", 0},
        FailureCase{"XmlRefused",
                    [](SubmitCommandsTest& t) {
                      t.service.answer("auctionSave", OnlineService::SoapAnswer::value("error:xml"));
                    },
                    "error:xml", "uploadError3", 1},
        FailureCase{"ListRefused",
                    [](SubmitCommandsTest& t) {
                      t.service.answer("auctionSubmitList", OnlineService::SoapAnswer::value("error:refused"));
                    },
                    "error:refused", std::nullopt, 3}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// Another connection changes a listed record while the last auction's
// picture goes up: the final call lists the online auctions the XML went
// to, but for one removed, and only a record that still holds the uploaded
// XML is submitted.
struct ChangeCase {
  const char* name;
  std::vector<std::vector<std::string>> requests;  // each the command, then its arguments
  const char* finalIds;                            // the list of the final call
  std::optional<std::string> record1;              // the XML of record 1 afterwards; nothing: no file
  const char* state1;
  std::set<int> newList, submittedList;
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }

class SubmitChangeTest : public SubmitCommandsTest, public ::testing::WithParamInterface<ChangeCase> {};

const std::string kEdited = "<data><auction><item><title>edited</title></item></auction></data>";

TEST_P(SubmitChangeTest, ListsTheUploadedAuctionsAndMarksOnlyWhatWasSent) {
  const ChangeCase& c = GetParam();
  prepareList();
  bool changed = false;
  answerFor = [&](const Upload& u) -> std::optional<OnlineService::HttpReply> {
    if (u.name == "5.jpg" && !changed) {
      for (const auto& request : c.requests)
        EXPECT_EQ(call(request[0], {request.begin() + 1, request.end()}).rfind("failed", 0), std::string::npos);
      changed = true;
    }
    return std::nullopt;
  };
  start();
  saveList();
  EXPECT_EQ(submit("1:2:3"), "submitted");
  EXPECT_TRUE(changed);
  const std::vector<std::string> calls = sequence();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "soap:auctionCreateWithPictures"), 3);
  EXPECT_EQ(pairsOf("auctionSubmitList").at(1).second, c.finalIds);
  EXPECT_EQ(stored(2, "state"), "2");
  EXPECT_EQ(stored(3, "state"), "2");
  if (c.record1) {
    EXPECT_EQ(stored(1, "xmlContent"), c.record1);
    EXPECT_EQ(stored(1, "state"), c.state1);
  } else {
    EXPECT_FALSE(fs::exists(user() + "WEB-INF/user/auction/1"));
  }
  EXPECT_EQ(listed("auctionNewList"), c.newList);
  EXPECT_EQ(listed("auctionSubmittedList"), c.submittedList);
  if (c.record1 != kEdited) return;

  // The edited auction goes up again, to the online auction it has.
  service.clearRecords();
  EXPECT_EQ(submit("1"), "submitted");
  EXPECT_EQ(pairsOf("auctionSave"), (Pairs{{"sessionId", "S-9"}, {"auctionIdString", "501"}, {"xmlContent", kEdited}}));
  EXPECT_EQ(stored(1, "state"), "2");
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SubmitChangeTest,
    ::testing::Values(
        ChangeCase{"Removed", {{"auctionRemove", "1"}}, "502:503", std::nullopt, "", {}, {2, 3}},
        ChangeCase{"Edited", {{"auctionSave", "1", kEdited}}, "501:502:503", kEdited, "0", {1}, {2, 3}},
        ChangeCase{"LoadedAndEdited", {{"auctionLoad", "1"}, {"auctionSave", "1", kEdited}}, "501:502:503", kEdited,
                   "0", {1}, {2, 3}},
        ChangeCase{"Loaded", {{"auctionLoad", "1"}}, "501:502:503", kAuction1, "2", {}, {1, 2, 3}}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

// A record removed while an earlier one's pictures go up is not uploaded:
// no online auction is made for it and the final call leaves it out. One
// removed while its own pictures go up is left out as well; with nothing
// left, no final call is made.
TEST_F(SubmitCommandsTest, RecordRemovedBeforeItsUploadIsLeftOut) {
  prepareList();
  std::vector<std::string> removals = {"3"};
  answerFor = [&](const Upload& u) -> std::optional<OnlineService::HttpReply> {
    if (u.name == "3.jpg" && !removals.empty()) {
      EXPECT_EQ(call("auctionRemove", {removals.back()}), "ok");
      removals.pop_back();
    }
    return std::nullopt;
  };
  start();
  saveList();
  EXPECT_EQ(submit("1:2:3"), "submitted");
  EXPECT_TRUE(removals.empty());
  const std::vector<std::string> calls = sequence();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "soap:auctionCreateWithPictures"), 2);
  for (const std::string& event : calls) EXPECT_EQ(event.find("5.jpg"), std::string::npos) << event;
  EXPECT_EQ(pairsOf("auctionSubmitList").at(1).second, "501:502");
  EXPECT_FALSE(fs::exists(user() + "WEB-INF/user/auction/3"));
  EXPECT_EQ(listed("auctionSubmittedList"), (std::set<int>{1, 2}));

  service.clearRecords();
  ASSERT_EQ(call("auctionSave", {"4", kAuction1}), "ok");
  removals = {"4"};
  EXPECT_EQ(submit("4"), "error:no auctions listed");
  EXPECT_TRUE(removals.empty());
  for (const std::string& event : sequence()) EXPECT_NE(event, "soap:auctionSubmitList");
}

// A removal while the number's online auction is being made waits for it,
// so the pairing it erases is not put back afterwards: a new auction under
// the number gets an online auction of its own.
TEST_F(SubmitCommandsTest, RemovalDuringACreationLeavesNoPairing) {
  service.answer("login", OnlineService::SoapAnswer::value("S-10"));
  auto open = std::make_shared<std::atomic<bool>>(false);
  service.answer("auctionCreateWithPictures", [this, open](const OnlineService::SoapCall&) {
    while (!*open) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return OnlineService::SoapAnswer::value(std::to_string(++lastAuction));
  });
  struct Opener {
    std::shared_ptr<std::atomic<bool>> open;
    ~Opener() { *open = true; }
  } opener{open};
  start();
  const std::string xml = "<data><auction><item><title>v</title></item></auction></data>";
  std::future<std::string> verify = std::async(std::launch::async, [&] { return call("auctionVerify", {"6", xml}); });
  auto creations = [&] {
    const auto calls = service.soapCalls();
    return std::count_if(calls.begin(), calls.end(), [](const auto& c) { return c.function == "auctionCreateWithPictures"; });
  };
  while (creations() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::future<std::string> removal = std::async(std::launch::async, [&] { return call("auctionRemove", {"6"}); });
  // The file goes first; a removal that does not wait erases the pairing right after.
  while (fs::exists(user() + "WEB-INF/user/auction/6")) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  *open = true;
  EXPECT_EQ(verify.get(), "verified");
  EXPECT_EQ(removal.get(), "ok");

  EXPECT_EQ(call("auctionVerify", {"6", xml}), "verified");
  EXPECT_EQ(creations(), 2);
  EXPECT_EQ(pairsOf("auctionVerify", 1).at(1).second, "502");
}

TEST_F(SubmitCommandsTest, RefusedListIsSentAgain) {
  prepareList();
  service.answer("auctionSubmitList", OnlineService::SoapAnswer::value("error:refused"));
  start();
  saveList();
  EXPECT_EQ(submit("1:3"), "error:refused");
  service.answer("auctionSubmitList", OnlineService::SoapAnswer::value("submitted"));
  EXPECT_EQ(submit("1:3"), "submitted");
  EXPECT_EQ(pairsOf("auctionSubmitList", 1).at(1).second, "501:502");
  EXPECT_EQ(listed("auctionSubmittedList"), (std::set<int>{1, 3}));
  EXPECT_EQ(listed("auctionNewList"), (std::set<int>{2}));
}

TEST_F(SubmitCommandsTest, ListThatCannotBeReadIsRefusedBeforeAnyUpload) {
  prepareList();
  start();
  saveList();
  ASSERT_EQ(call("auctionSave", {"4", "<data><auction>"}), "ok");
  const struct {
    const char* ids;
    const char* result;
  } cases[] = {
      {"", "error:no auctions listed"},
      {"1:x", "error:invalid auction number x"},
      {"1:99", "error:auction 99 not found"},
      {"1:4", "error:auction 4 is invalid: "},
  };
  for (const auto& c : cases) {
    service.clearRecords();
    const std::string result = submit(c.ids);
    EXPECT_EQ(result.rfind(c.result, 0), 0u) << c.ids << ": " << result;
    EXPECT_EQ(sequence(), (std::vector<std::string>{"probe"})) << c.ids;
    // Nothing was sent; the sum may have counted the auctions before.
    EXPECT_EQ(call("offlineGetTransferStatus", {}).rfind("0:", 0), 0u) << c.ids;
  }
  EXPECT_EQ(listed("auctionSubmittedList"), std::set<int>{});
}

TEST_F(SubmitCommandsTest, RecordsNotHeldAreReadFromTheirFiles) {
  prepareList();
  start();
  saveList();
  // A new process holds no record until a list or a load asks for it.
  start();
  EXPECT_EQ(submit("3:2"), "submitted");
  EXPECT_EQ(pairsOf("auctionSave", 0).at(2).second,
            "<data><auction><item><faPictures><picture id=\"7\" order=\"1\"/></faPictures></item></auction></data>");
  EXPECT_EQ(stored(3, "state"), "2");
  EXPECT_EQ(stored(2, "state"), "2");
  EXPECT_EQ(stored(3, "xmlContent"), kAuction3);
}

TEST_F(SubmitCommandsTest, UnreachableServiceLeavesCountersAsTheyWere) {
  prepareList();
  ServiceTimeouts::set(std::chrono::milliseconds(300), ServiceTimeouts::connect(), ServiceTimeouts::read());
  start();
  ServiceTimeouts::reset();
  saveList();
  ASSERT_EQ(submit("3"), "submitted");
  const std::string counters = call("offlineGetTransferStatus", {});
  int64_t sent = 0;
  for (const Upload& u : uploads()) sent += u.fileBytes;
  EXPECT_EQ(counters, std::to_string(sent) + ":5");
  service.setProbe(OnlineService::Probe::kSilence);
  service.clearRecords();
  EXPECT_EQ(submit("1"), "error:not_online");
  EXPECT_EQ(call("offlineGetTransferStatus", {}), counters);
  EXPECT_TRUE(service.soapCalls().empty());
  EXPECT_TRUE(service.httpRequests().empty());
  EXPECT_EQ(listed("auctionNewList"), (std::set<int>{1, 2}));
}

TEST_F(SubmitCommandsTest, OneTransferAtATime) {
  prepareList();
  // Slow enough that the refused calls and a poll land while the first runs, even on a loaded machine.
  delay = std::chrono::milliseconds(250);
  start();
  saveList();
  std::future<std::string> first = std::async(std::launch::async, [&] { return submit("1"); });
  while (service.httpRequests().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // A second submission and a self-update are refused and leave the counters to the first.
  EXPECT_EQ(submit("3"), "error:transfer_running");
  EXPECT_EQ(call("offlineUpdate", {}), "error:transfer_running");

  std::vector<std::pair<int64_t, int64_t>> polled;
  while (first.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    const std::string status = call("offlineGetTransferStatus", {});
    polled.emplace_back(std::stoll(status), std::stoll(status.substr(status.find(':') + 1)));
  }
  EXPECT_EQ(first.get(), "submitted");
  const int64_t expected = 4 + 4 + 4 + 5;  // 3.jpg twice, 7.jpg, the sound
  ASSERT_FALSE(polled.empty());
  for (size_t i = 0; i < polled.size(); ++i) {
    EXPECT_EQ(polled[i].second, expected) << i;
    if (i > 0) {
      EXPECT_GE(polled[i].first, polled[i - 1].first) << i;
    }
  }
  EXPECT_TRUE(std::any_of(polled.begin(), polled.end(), [&](auto p) { return p.first > 0 && p.first < expected; }));
  int64_t sent = 0;
  for (const Upload& u : uploads()) sent += u.fileBytes;
  EXPECT_EQ(call("offlineGetTransferStatus", {}), std::to_string(sent) + ":" + std::to_string(expected));
  for (const std::string& event : sequence()) EXPECT_EQ(event.find("5.jpg"), std::string::npos) << event;
}

TEST_F(SubmitCommandsTest, Verify) {
  service.answer("login", OnlineService::SoapAnswer::value("S-10"));
  start();
  const std::string xml = "<data><auction><item><title>v</title></item></auction></data>";
  EXPECT_EQ(call("auctionVerify", {"6", xml}), "verified");
  EXPECT_EQ(service.events(), (std::vector<std::string>{"probe", "probe", "soap:login", "soap:auctionCreateWithPictures",
                                                        "soap:auctionVerify"}));
  EXPECT_EQ(pairsOf("auctionVerify"), (Pairs{{"sessionId", "S-10"}, {"auctionIdString", "501"}, {"xmlContent", xml}}));
  EXPECT_EQ(pairsOf("auctionCreateWithPictures"), (Pairs{{"sessionId", "S-10"}, {"pictures", ""}}));
  EXPECT_EQ(stored(6, "xmlContent"), xml);
  EXPECT_EQ(stored(6, "state"), "0");

  // The second time the online auction exists; the service's answer comes back as it is.
  service.clearRecords();
  service.answer("auctionVerify", OnlineService::SoapAnswer::value("error:title too short"));
  const std::string changed = "<data><auction><item><title>w</title></item></auction></data>";
  EXPECT_EQ(call("auctionVerify", {"6", changed}), "error:title too short");
  EXPECT_EQ(service.events(), (std::vector<std::string>{"probe", "probe", "soap:login", "soap:auctionVerify"}));
  EXPECT_EQ(pairsOf("auctionVerify").at(1).second, "501");
  EXPECT_EQ(pairsOf("auctionVerify").at(2).second, changed);
  EXPECT_EQ(stored(6, "xmlContent"), changed);
  EXPECT_EQ(listed("auctionNewList"), std::set<int>{6});

  // A submitted auction stays submitted.
  ASSERT_EQ(submit("6"), "submitted");
  EXPECT_EQ(call("auctionVerify", {"6", xml}), "error:title too short");
  EXPECT_EQ(listed("auctionSubmittedList"), std::set<int>{6});
  EXPECT_EQ(stored(6, "state"), "2");
}

TEST_F(SubmitCommandsTest, VerifyStoresTheAuctionWhateverTheService) {
  service.answer("login", OnlineService::SoapAnswer::value("error:wrong password"));
  ServiceTimeouts::set(std::chrono::milliseconds(300), ServiceTimeouts::connect(), ServiceTimeouts::read());
  start();
  ServiceTimeouts::reset();
  EXPECT_EQ(call("auctionVerify", {"4", "<refused/>"}), "error:wrong password");
  EXPECT_EQ(stored(4, "xmlContent"), "<refused/>");
  service.setProbe(OnlineService::Probe::kSilence);
  EXPECT_EQ(call("auctionVerify", {"4", "<away/>"}), "error:not_online");
  EXPECT_EQ(stored(4, "xmlContent"), "<away/>");
  EXPECT_EQ(call("auctionLoad", {"4"}), "<away/>");
  for (const auto& c : service.soapCalls()) EXPECT_EQ(c.function, "login");
}

}  // namespace
}  // namespace e2e
