// Saves from several connections while the server is killed at random
// moments: after each restart every acknowledged record is whole and no
// work file of an interrupted save is left.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "e2e/Installation.h"
#include "e2e/Loopback.h"

namespace e2e {
namespace {

// One command as a form POST; nothing when the connection broke first.
std::optional<std::string> tryCall(int port, const std::string& function, const std::vector<std::string>& args) {
  std::string body = "func=" + function + "&a0=session";
  for (size_t i = 0; i < args.size(); ++i) body += "&a" + std::to_string(i + 1) + "=" + formEncode(args[i]);
  try {
    Connection c(port);
    c.send("POST /app/call HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    Reply reply = c.readReply();
    if (reply.status != "200 Ok" || reply.body.rfind("result=", 0) != 0) return std::nullopt;
    return formDecode(reply.body.substr(7));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string content(int id) {
  return "<collector><auction><item><Title><data text=\"record " + std::to_string(id) + "\"/></Title>" +
         "<Description><data text=\"" + std::string(20000 + id % 997, 'x') + "\"/></Description>" +
         "</item></auction></collector>";
}

TEST(CrashSafetyTest, AcknowledgedRecordsSurviveKillsWhole) {
  Installation inst;
  const std::string folder = inst.app() + "WEB-INF/user/auction/";
  std::mt19937 random(12985);
  std::map<int, bool> acknowledged;  // every record tried, and whether it was answered "ok"
  for (int round = 0; round < 6; ++round) {
    auto server = std::make_unique<ServerProcess>(inst.folder());
    ASSERT_TRUE(server->running());
    // What the previous rounds left: no work file, every acknowledged record whole.
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      EXPECT_EQ(entry.path().string().find(".new"), std::string::npos) << entry.path();
    for (const auto& [id, ok] : acknowledged) {
      std::optional<std::string> loaded = tryCall(server->port(), "auctionLoad", {std::to_string(id)});
      ASSERT_TRUE(loaded.has_value()) << id;
      if (ok || !loaded->empty()) {
        EXPECT_EQ(*loaded, content(id)) << "record " << id;
      }
    }
    const int port = server->port();
    std::mutex lock;
    std::atomic<bool> stop{false};
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
      clients.emplace_back([&, c] {
        for (int k = 0; !stop; ++k) {
          const int id = round * 10000 + c * 1000 + k + 1;
          {
            std::lock_guard<std::mutex> guard(lock);
            acknowledged[id] = false;
          }
          std::optional<std::string> result = tryCall(port, "auctionSave", {std::to_string(id), content(id)});
          if (!result) return;
          std::lock_guard<std::mutex> guard(lock);
          acknowledged[id] = *result == "ok";
        }
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 400)(random)));
    server.reset();  // killed
    stop = true;
    for (std::thread& t : clients) t.join();
  }
}

}  // namespace
}  // namespace e2e
