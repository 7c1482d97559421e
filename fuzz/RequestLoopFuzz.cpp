// The loopback server's request loop on one connection: the input is what the
// peer sends before it closes its side; the replies are read and dropped.

#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "FuzzTarget.h"
#include "platform/OutputStream.h"
#include "platform/File.h"
#include "platform/PrintStream.h"
#include "platform/Socket.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "quorvelauction/offline/OfflineImageHelper.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerDomainUser.h"
#include "vtl/Velocity.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerHandler.h"

namespace {

using quorvelauction::offline::CryptedResourceLoader;
using quorvelauction::offline::Server;

class Discard : public platform::OutputStream {
 public:
  void write(const char*, int, int) override {}
};

// A small installation in a folder of its own, removed at exit; the service
// host never resolves, so online commands fail at once.
Server& server() {
  static Server* instance = [] {
    static char name[] = "/tmp/request-loop-fuzz-XXXXXX";
    const std::string root = std::string(mkdtemp(name)) + "/";
    std::atexit([] { std::filesystem::remove_all(name); });
    const std::string app = root + "htdocs/app/";
    const std::string user = root + "user/";
    for (const char* folder : {"htdocs/app/WEB-INF/user", "htdocs/app/images", "htdocs/app/sounds",
                               "user/WEB-INF/user/auction", "user/images", "user/sounds"})
      platform::File(root + folder).mkdirs();
    std::ofstream(root + "htdocs/index.html") << "start page";
    std::ofstream(app + "WEB-INF/global.properties") << "server.host=service.quorvelauction.invalid\n";
    static Server::CryptedStreams factory;
    quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&factory);
    quorvelauction::common::GlobalConfig::load(app, user);
    Server::programPath = root;
    Server::rootPath = root + "htdocs/";
    Server::userPath = user;
    Server::host.set("service.quorvelauction.invalid");
    // The server's printing is noise here.
    auto stream = std::make_shared<platform::PrintStream>(std::make_unique<Discard>(), true);
    platform::System::setOut(stream);
    platform::System::setErr(stream);
    // What the start-up sets up for the commands, short of the port and
    // the background image scan.
    static quorvelauction::offline::OfflineImageHelper images;
    quorvelauction::common::GlobalConfig::setImageHelper(&images);
    CryptedResourceLoader::registerClass();
    vtl::Velocity::setProperty("resource.loader", "cryptedfile");
    vtl::Velocity::setProperty("cryptedfile.resource.loader.class", CryptedResourceLoader::kClassName);
    vtl::Velocity::init();
    auto* made = new Server();
    static Server::DomainUser users(*made);
    made->soapFunctions = std::make_unique<quorvelauction::common::CommonSOAPFunctions>(users);
    return made;
  }();
  return *instance;
}

// Requests that end the process are left out: ending it is what they are
// for. Percent escapes are undone first, as the server undoes them.
bool endsTheProcess(std::string_view input) {
  std::string plain;
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] == '%' && i + 2 < input.size() && std::isxdigit(static_cast<unsigned char>(input[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(input[i + 2]))) {
      plain += static_cast<char>(std::stoi(std::string(input.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      plain += input[i];
    }
  }
  std::transform(plain.begin(), plain.end(), plain.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return plain.find("exit") != std::string::npos;
}

}  // namespace

QA_FUZZ_TARGET(RequestLoopFuzz) {
  if (endsTheProcess(input)) return;
  Server& owner = server();
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return;
  std::thread peer([fd = pair[1], input] {
    for (size_t sent = 0; sent < input.size();) {
      ssize_t n = ::send(fd, input.data() + sent, input.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    char drain[4096];
    while (::read(fd, drain, sizeof drain) > 0) {
    }
    ::close(fd);
  });
  Server::Handler(owner, std::make_shared<platform::Socket>(pair[0])).run();
  peer.join();
}
