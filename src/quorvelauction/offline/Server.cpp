#include "quorvelauction/offline/Server.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "platform/BufferedReader.h"
#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/FileReplacement.h"
#include "platform/InputStreamReader.h"
#include "platform/Properties.h"
#include "platform/SSLContext.h"
#include "platform/StackTrace.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/CommonSOAPFunctions.h"
#include "quorvelauction/common/DatePrintStream.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "quorvelauction/common/XTrustProvider.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/OfflineImageHelper.h"
#include "quorvelauction/offline/ServerAcceptAllTrust.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/offline/ServerDomainUser.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServerImageInfo.h"
#include "quorvelauction/offline/ServerImageScan.h"
#include "quorvelauction/offline/ServerLogSender.h"
#include "quorvelauction/offline/ServerNewestFirst.h"
#include "quorvelauction/offline/UpdateSwap.h"
#include "vtl/Velocity.h"

namespace quorvelauction::offline {

using platform::File;
using platform::Strings;
using platform::System;

Server::Shared<std::vector<Server::ImageInfo>> Server::userImages;
std::string Server::userPath;
std::optional<std::string> Server::programName;
std::string Server::programPath;
std::string Server::rootPath;
Server::Shared<std::string> Server::serverSessionId;
// The online service; the installation's "server.host" replaces it at start.
Server::Shared<std::optional<std::string>> Server::host{std::string("service.quorvelauction.invalid")};
Server::Shared<std::vector<std::shared_ptr<platform::OutputStream>>> Server::xmlSockets;
std::atomic<int64_t> Server::transferStatusSent{0};
std::atomic<int64_t> Server::transferStatusSum{0};
int32_t Server::offlineId = 0;
std::shared_ptr<platform::SSLContext> Server::sc;

namespace {

const char kPolicy[] =
    "<cross-domain-policy><site-control permitted-cross-domain-policies=\"master-only\"/>"
    "<allow-access-from domain=\"*\" to-ports=\"*\"/></cross-domain-policy>";

// The absolute form of a folder, ending with the separator.
std::string absoluteFolder(const std::string& relative) {
  std::string path = File(relative).getAbsolutePath();
  if (Strings::endsWith(path, "/.")) path.resize(path.size() - 1);
  if (!Strings::endsWith(path, File::separator)) path += File::separator;
  return path;
}

std::string orNull(const std::optional<std::string>& text) { return text ? *text : "null"; }

}  // namespace

Server::Server() = default;

Server::~Server() = default;

Server::Server(int port, const std::optional<std::string>& passedPath) {
  try {
    serverSocket_ = std::make_unique<platform::ServerSocket>(port, 30, std::string("localhost"));
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    exitProgram();
  }
  try {
    build(passedPath);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    exitProgram();
  }
  acceptLoop();
}

bool Server::startedFromEclipse() { return File(".project").exists(); }

void Server::build(const std::optional<std::string>& passedPath) {
  cryptedStreams_ = std::make_unique<CryptedStreams>(*this);
  common::GlobalConfig::setFileStreamFactoryHelper(cryptedStreams_.get());
  fixFolders();
  // A self-update killed in the middle of its swap can leave an installed
  // file missing, its old version under ".backup"; put back before anything
  // installed, "id.txt" and "messages.properties" first, is read.
  UpdateSwap::recover(programPath);
  readInstallationNumber();
  chooseUserFolder(passedPath);
  readProgramName();
  prepareUserFolders();
  common::GlobalConfig::load(appPath_, userPath);
  OfflineAuction::removeWorkFiles();
  removeUserFileWorkFiles();
  host.set(common::GlobalConfig::getProperty("server.host"));
  System::out().println("server: " + orNull(host.get()));
  imageHelper_ = std::make_unique<OfflineImageHelper>();
  common::GlobalConfig::setImageHelper(imageHelper_.get());
  domainUser_ = std::make_unique<DomainUser>(*this);
  startTemplateEngine();
  soapFunctions = std::make_unique<common::CommonSOAPFunctions>(*domainUser_);
  common::GlobalConfig::reloadEbayCacheFilesForOneDomain(domain.get());
  imageScan_ = std::make_unique<ImageScan>(*this);
  imageScan_->start();
}

void Server::startTemplateEngine() {
  CryptedResourceLoader::registerClass();
  vtl::Velocity::setProperty("runtime.log.logsystem.class",
                             "org.apache.velocity.runtime.log.NullLogSystem");
  vtl::Velocity::setProperty("resource.loader", "cryptedfile");
  vtl::Velocity::setProperty("cryptedfile.resource.loader.class", CryptedResourceLoader::kClassName);
  vtl::Velocity::setProperty("cryptedfile.resource.loader.cache", "false");
  vtl::Velocity::init();
}

void Server::fixFolders() {
  const std::string base = File(".project").exists() ? "OfflineRelease/" : "";
  rootPath = absoluteFolder(base + "htdocs");
  appPath_ = absoluteFolder(base + "htdocs/app");
  programPath = absoluteFolder(base.empty() ? "." : "OfflineRelease");
}

void Server::readInstallationNumber() {
  if (!File(programPath + "id.txt").exists()) return;
  auto in = common::GlobalConfig::createFileInputStream(programPath + "id.txt");
  platform::BufferedReader reader(std::make_unique<platform::InputStreamReader>(std::move(in), "utf-8"));
  std::optional<std::string> first = reader.readLine();
  reader.close();
  if (!first) throw platform::NumberFormatException("For input string: \"null\"");
  offlineId = platform::Integers::parseInt(*first);
}

void Server::chooseUserFolder(const std::optional<std::string>& passedPath) {
  std::optional<std::string> argument = passedPath;
  // Decided before the quotes go: an argument of two quotes names the
  // working folder.
  const bool given = argument && !argument->empty();
  if (given) {
    if (Strings::endsWith(*argument, "\"")) argument->pop_back();
    if (!argument->empty() && Strings::startsWith(*argument, "\"")) argument->erase(0, 1);
  }
  if (!given) {
    userPath = appPath_;
  } else if (File(appPath_ + "images").exists()) {
    userPath = appPath_;
  } else {
    userPath = File(*argument).getAbsolutePath();
    if (!Strings::endsWith(userPath, File::separator)) userPath += File::separator;
  }
  System::out().println("passedPath: " + orNull(argument));
  System::out().println("path: " + appPath_);
  System::out().println("userPath: " + userPath);
}

void Server::readProgramName() {
  platform::FileInputStream in(programPath + "messages.properties");
  platform::Properties messages;
  messages.load(in);
  in.close();
  programName = messages.getProperty("programName");
}

void Server::prepareUserFolders() {
  for (const char* folder : {"images", "sounds", "WEB-INF/user", "WEB-INF/user/auction"}) {
    File(userPath + folder).mkdirs();
  }
  File collector(userPath + "WEB-INF/user/collector.xml");
  if (!collector.exists()) {
    common::XMLUtils::copyLocal(appPath_ + "WEB-INF/user/collector.xml", collector.getAbsolutePath());
  }
}

void Server::removeUserFileWorkFiles() {
  namespace fs = std::filesystem;
  const fs::path folder = userPath + "WEB-INF/user";
  const fs::path records = folder / "auction";  // cleaned by its own, narrower rule
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error), end;
       !error && it != end; it.increment(error)) {
    if (it->path() == records) {
      it.disable_recursion_pending();
      continue;
    }
    std::error_code ignored;
    if (it->symlink_status(ignored).type() != fs::file_type::regular) continue;
    if (!platform::FileReplacement::targetOfWorkName(it->path().filename().string())) continue;
    fs::remove(it->path(), ignored);
  }
  // The login cache and the store document lie beside those folders, among
  // files of others: only their own work files go.
  std::error_code listing;
  for (fs::directory_iterator it(userPath, listing), end; !listing && it != end; it.increment(listing)) {
    std::error_code ignored;
    if (it->symlink_status(ignored).type() != fs::file_type::regular) continue;
    const std::string name = it->path().filename().string();
    const std::optional<std::string_view> target = platform::FileReplacement::targetOfWorkName(name);
    if (target && (*target == "loginCache.properties" || *target == "store.xml")) fs::remove(it->path(), ignored);
  }
}

void Server::acceptLoop() {
  // A failing accept (out of descriptors, say) is retried after a pause
  // that grows while it goes on failing; the first failure of a run is
  // printed, the repeats are not.
  constexpr std::chrono::milliseconds kFirstPause{10}, kLongestPause{1000};
  std::chrono::milliseconds pause{0};
  for (;;) {
    try {
      std::shared_ptr<platform::Socket> socket = serverSocket_->accept();
      pause = std::chrono::milliseconds{0};
      socket->setTcpNoDelay(true);
      Handler::start(std::make_unique<Handler>(*this, std::move(socket)));
    } catch (const std::exception& e) {
      if (pause.count() == 0) platform::printStackTrace(e);
      pause = std::clamp(pause * 2, kFirstPause, kLongestPause);
      std::this_thread::sleep_for(pause);
    }
  }
}

void Server::main(const std::vector<std::string>& args, int port) {
  try {
    if (File("debug.txt").exists()) logToFile();
    trustAll();
    common::XTrustProvider::install();
    std::optional<std::string> passedPath;
    if (!args.empty()) passedPath = args[0];
    Server server(port, passedPath);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
  exitProgram();
}

void Server::logToFile() {
  // Both streams share the one open file; it stays open until the end.
  static platform::FileOutputStream* log = new platform::FileOutputStream("log.txt");
  System::setOut(std::make_shared<common::DatePrintStream>(*log));
  System::setErr(std::make_shared<common::DatePrintStream>(*log));
}

void Server::trustAll() {
  std::shared_ptr<platform::SSLContext> context = platform::SSLContext::getInstance("SSL");
  context->init(platform::TrustManagers{std::make_shared<AcceptAllTrust>()});
  sc = context;
  platform::SSLContext::setDefault(context);
}

void Server::exitProgram() {
  System::out().println("program exit");
  System::exit(0);
}

std::string Server::atoiString(std::string_view text) {
  size_t n = 0;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  return std::string(text.substr(0, n));
}

void Server::sortDescendingByDate(std::vector<File>& files) {
  // Each file's time is read once: a folder of many images would otherwise
  // ask the file system at every comparison.
  std::vector<std::pair<int64_t, size_t>> keyed;
  keyed.reserve(files.size());
  for (size_t i = 0; i < files.size(); ++i) keyed.emplace_back(files[i].lastModified(), i);
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) {
                     return NewestFirst::compareTimes(a.first, b.first) < 0;
                   });
  std::vector<File> sorted;
  sorted.reserve(files.size());
  for (const auto& k : keyed) sorted.push_back(files[k.second]);
  files = std::move(sorted);
}

void Server::sendPolicyFile(platform::OutputStream& out) {
  out.write(kPolicy, 0, sizeof kPolicy);  // the text and its NUL byte
  out.flush();
}

void Server::cacheUserImages() {
  try {
    File folder(common::GlobalConfig::getUserPath() + "images");
    folder.mkdirs();
    std::vector<File> entries = folder.listFiles().value_or(std::vector<File>{});
    if (!folder.isDirectory()) throw platform::IOException("cannot list " + folder.getPath());
    sortDescendingByDate(entries);
    std::unordered_set<int32_t> seen;
    for (const File& entry : entries) {
      const std::string name = entry.getName();
      if (Strings::endsWith(name, ".deleted")) {
        entry.remove();
        continue;
      }
      std::u16string units = Strings::toUtf16(name);
      if (units.size() < 4) continue;
      int32_t number;
      try {
        number = platform::Integers::parseInt(Strings::fromUtf16(units.substr(0, units.size() - 4)));
      } catch (const platform::NumberFormatException&) {
        continue;
      }
      // The newest file of a number wins; older ones are skipped.
      if (!seen.insert(number).second) continue;
      ImageInfo info;
      info.id = number;
      info.type = "Standard";
      const std::string stem = userPath + "images/" + std::to_string(number);
      if (File(stem + ".swf").exists()) {
        info.type = "swf";
      } else if (File(stem + ".jpg.info").exists()) {
        platform::BufferedReader reader(
            std::make_unique<platform::InputStreamReader>(
                std::make_unique<platform::FileInputStream>(stem + ".jpg.info"), "utf-8"));
        std::string type = Strings::trim(reader.readLine().value_or(""));
        reader.close();
        if (!type.empty()) info.type = type;
      }
      userImages.with([&](std::vector<ImageInfo>& list) { list.push_back(info); });
    }
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
  }
}

void Server::log(const std::string& type, const std::string& text) {
  try {
    std::string session = serverSessionId.get();
    if (session.empty()) return;
    LogSender::instance().post({host.get().value_or(""), session, type, text});
  } catch (...) {
  }
}

void Server::log(const std::exception& failure) {
  if (serverSessionId.get().empty()) return;
  try {
    log("offlineException", exceptionText(failure));
  } catch (...) {
  }
}

std::string Server::exceptionText(const std::exception& failure) {
  std::string message = failure.what();
  // A C++ failure carries no frames of its own: these are the frames of the
  // thread that reports it, innermost first, this function left out.
  std::string frames;
  for (const std::string& frame : platform::StackTrace::current(1)) frames += frame + "\n";
  if (frames.empty()) frames = platform::describe(failure) + "\n";
  return "exception:\n" + (message.empty() ? std::string("null") : message) + "\nstack:\n" + frames;
}

}  // namespace quorvelauction::offline
