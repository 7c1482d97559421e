// The picture work through the real companion program: the three size
// variants of a 12-megapixel picture, and "offlineSelectImages" of 20
// pictures (conversion and three variants each, the type being "Standard")
// against a server running in this process.

#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/PrintStream.h"
#include "platform/Runtime.h"
#include "platform/System.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/Server.h"
#include "support/LoopbackSockets.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class Discard : public platform::OutputStream {
 public:
  using platform::OutputStream::write;
  void write(const char*, int, int) override {}
};

const std::string kCompanion = std::string(QA_BINARY_DIR) + "/quorvelcompanion";

void runCompanion(const std::string& verbPart) {
  platform::Runtime::waitFor(platform::Runtime::exec(kCompanion + " " + verbPart));
}

// A JPEG of width by height with a gradient, made by the companion from a
// raw PPM picture.
void makeJpeg(const std::string& folder, const std::string& name, int width, int height) {
  const std::string ppm = folder + name + ".ppm";
  {
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    std::string row(static_cast<size_t>(width) * 3, '\0');
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        row[x * 3] = static_cast<char>(x * 255 / width);
        row[x * 3 + 1] = static_cast<char>(y * 255 / height);
        row[x * 3 + 2] = static_cast<char>((x ^ y) & 0xFF);
      }
      out << row;
    }
  }
  setenv("QUORVELCOMPANION_FILES", ppm.c_str(), 1);
  runCompanion("image*0*" + folder + name + "*Standard");
  fs::remove(ppm);
  if (!fs::exists(folder + name)) throw std::runtime_error("the companion made no picture");
}

void BM_ThreeVariants12MP(benchmark::State& state) {
  testsupport::TempDir dir;
  makeJpeg(dir.path(), "1.jpg", 4000, 3000);
  const std::string base = dir.path() + "1";
  for (auto _ : state) {
    runCompanion("scale*" + base + ".jpg*" + base + "v.jpg*400*300*0");
    runCompanion("scale*" + base + ".jpg*" + base + "e.jpg*640*480*0");
    runCompanion("scale*" + base + ".jpg*" + base + "t.jpg*96*72*0");
  }
  state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ThreeVariants12MP)->Unit(benchmark::kMillisecond)->UseRealTime();

// The body of one command's reply.
std::string call(int port, const std::string& body) {
  int fd = testsupport::connectLoopback(port);
  if (fd < 0) throw std::runtime_error("no server");
  const std::string request =
      "POST /app/call HTTP/1.1\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size()))
    throw std::runtime_error("send failed");
  std::string reply;
  char chunk[4096];
  for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) {
    reply.append(chunk, static_cast<size_t>(n));
    size_t head = reply.find("\r\n\r\n");
    size_t at = reply.find("Content-Length: ");
    if (head != std::string::npos && at != std::string::npos &&
        reply.size() >= head + 4 + std::stoul(reply.substr(at + 16)))
      break;
  }
  ::close(fd);
  size_t head = reply.find("\r\n\r\n");
  return head == std::string::npos ? reply : reply.substr(head + 4);
}

struct Installation {
  testsupport::TempDir dir;
  std::string user() const { return dir.path() + "user/"; }
  void store(const std::string& relative, const std::string& content) const {
    fs::create_directories(fs::path(dir.path() + relative).parent_path());
    quorvelauction::offline::CryptedFileOutputStream out(dir.path() + relative);
    out.write(content);
    out.close();
  }
};

// The server on an installation with the real companion, made once.
int serverPort(const Installation& inst) {
  static int port = [&] {
    inst.dir.write("messages.properties", "programName=quorvelcompanion\n");
    inst.dir.write("htdocs/index.html", "");
    quorvelauction::offline::Server::programPath = inst.dir.path();
    inst.store("htdocs/app/WEB-INF/global.properties", "domains=auction_de\ndefaultDomain=auction_de\n");
    inst.store("htdocs/app/WEB-INF/auction_de/config/config.properties",
               "auction.image.dimension.Standard=400x300\nauction.image.dimension.Ebay=640x480\n"
               "auction.image.dimension.Thumb=96x72\n");
    fs::copy_file(kCompanion, inst.dir.path() + "quorvelcompanion");
    fs::create_directories(inst.user() + "images");
    if (::chdir(inst.dir.path().c_str()) != 0) std::abort();
    platform::System::setOut(std::make_shared<platform::PrintStream>(std::make_unique<Discard>(), false));
    const int p = testsupport::freeLoopbackPort();
    const std::string user = inst.user();
    std::thread([p, user] { quorvelauction::offline::Server server(p, user); }).detach();
    testsupport::waitForLoopback(p);
    return p;
  }();
  return port;
}

void BM_SelectTwentyPictures(benchmark::State& state) {
  static Installation* inst = new Installation;  // the server lives on
  testsupport::TempDir chosen;
  makeJpeg(chosen.path(), "photo.jpg", 1600, 1200);
  std::string files;
  for (int i = 0; i < 20; ++i) {
    const std::string name = chosen.path() + "photo" + std::to_string(i) + ".jpg";
    fs::copy_file(chosen.path() + "photo.jpg", name);
    files += name + "\n";
  }
  const int port = serverPort(*inst);
  setenv("QUORVELCOMPANION_FILES", files.c_str(), 1);
  for (auto _ : state) {
    std::string result = call(port, "func=offlineSelectImages&a0=offline&a1=1&a2=Standard");
    state.PauseTiming();
    // The reply is form-encoded: ":" arrives as "%3A".
    const std::string entry = "%3AStandard%3A";
    size_t entries = 0;
    for (size_t at = 0; (at = result.find(entry, at)) != std::string::npos; at += entry.size()) ++entries;
    if (result.rfind("result=selected", 0) != 0 || entries != 20) {
      state.SkipWithError(("unexpected result: " + result).c_str());
      break;
    }
    std::string ids;
    for (size_t at = 0; (at = result.find(entry, at)) != std::string::npos; at += entry.size())
      ids += result.substr(at + entry.size(), result.find('%', at + entry.size()) - at - entry.size()) + "+";
    call(port, "func=removeImage&a0=offline&a1=" + ids);
    state.ResumeTiming();
  }
  state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(state.iterations() * 20),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SelectTwentyPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
