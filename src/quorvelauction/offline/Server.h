#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/File.h"
#include "platform/OutputStream.h"
#include "platform/ServerSocket.h"

namespace platform {
class SSLContext;
}

namespace quorvelauction::common {
class CommonSOAPFunctions;
class ImageHelper;
}

namespace quorvelauction::offline {

class OfflineAuction;

// The local server and the state its connection threads share. The one
// object is made by main(); its constructor runs the accept loop for the
// life of the process. Fields that connection threads change are kept behind
// a lock (Shared) or are atomic; the folders are written once during the
// single-threaded start-up and only read afterwards.
class Server {
 public:
  // Opens every program data file through the scrambling streams.
  class CryptedStreams;
  // Maps every session to user 1 and the current domain.
  class DomainUser;
  // The background thread that fills the user image list once.
  class ImageScan;
  // Orders files newest first.
  class NewestFirst;
  // One entry of the user image list.
  class ImageInfo;
  // The trust manager of the accept-all TLS context.
  class AcceptAllTrust;
  // The thread of one loopback connection and the command handlers.
  class Handler;
  // The background sender of remote log records.
  class LogSender;

  // A value that several threads read and write: every access holds its lock.
  template <class T>
  class Shared {
   public:
    Shared() = default;
    explicit Shared(T value) : value_(std::move(value)) {}
    T get() const {
      std::lock_guard<std::mutex> guard(mutex_);
      return value_;
    }
    void set(T value) {
      std::lock_guard<std::mutex> guard(mutex_);
      value_ = std::move(value);
    }
    // Runs f on the value under the lock and returns what f returns.
    template <class F>
    decltype(auto) with(F&& f) {
      std::lock_guard<std::mutex> guard(mutex_);
      return f(value_);
    }

   private:
    mutable std::mutex mutex_;
    T value_{};
  };

  static constexpr int32_t SUBMIT = 1;
  static constexpr int32_t EXPORT = 2;
  static constexpr int PORT = 17985;

  // Only the instance fields' starting values; nothing listens.
  Server();
  // Starts the server on the port and serves forever; a failure while it is
  // being built prints "program exit" and ends the process with status 0.
  Server(int port, const std::optional<std::string>& passedPath);
  virtual ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // True when ".project" exists in the working folder.
  virtual bool startedFromEclipse();

  // The process entry: args are the command-line arguments without the
  // program name. Never returns.
  [[noreturn]] static void main(const std::vector<std::string>& args, int port = PORT);
  // Makes outgoing TLS connections accept every certificate chain.
  static void trustAll();
  // The background scan of the user's image folder.
  static void cacheUserImages();
  // The leading decimal digits of text.
  static std::string atoiString(std::string_view text);
  // Sorts newest first; files of equal time keep their order.
  static void sortDescendingByDate(std::vector<platform::File>& files);
  // Writes the cross-domain policy and its NUL byte, then flushes.
  static void sendPolicyFile(platform::OutputStream& out);
  // Sends a remote log record while an online session exists; never throws.
  static void log(const std::string& type, const std::string& text);
  static void log(const std::exception& failure);
  // The text of the remote log record of a failure.
  static std::string exceptionText(const std::exception& failure);
  // Prints "program exit" and ends the process with status 0.
  [[noreturn]] static void exitProgram();

  // Instance state, shared by every connection thread.
  std::unique_ptr<common::CommonSOAPFunctions> soapFunctions;
  Shared<std::string> domain{"auction_de"};
  Shared<std::string> userName;
  Shared<std::string> password;
  const std::string sessionId = "offline";
  Shared<std::map<int32_t, int32_t>> auctionIdMapping;
  Shared<std::map<int32_t, std::shared_ptr<OfflineAuction>>> auctions;

  // Process-wide state.
  static Shared<std::vector<ImageInfo>> userImages;
  static std::string userPath;
  static std::optional<std::string> programName;
  // The installation folder, ending with the path separator. Set once by the
  // start-up before any other thread runs.
  static std::string programPath;
  static std::string rootPath;
  static Shared<std::string> serverSessionId;
  static Shared<std::optional<std::string>> host;
  static Shared<std::vector<std::shared_ptr<platform::OutputStream>>> xmlSockets;
  static std::atomic<int64_t> transferStatusSent;
  static std::atomic<int64_t> transferStatusSum;
  static int32_t offlineId;
  // The accept-all TLS context of the online calls; set once by trustAll.
  static std::shared_ptr<platform::SSLContext> sc;

 private:
  // Sends standard output and error into "log.txt", every line dated.
  static void logToFile();
  void build(const std::optional<std::string>& passedPath);
  void startTemplateEngine();
  void fixFolders();
  void readInstallationNumber();
  void chooseUserFolder(const std::optional<std::string>& passedPath);
  void readProgramName();
  void prepareUserFolders();
  // Removes the work files that interrupted saves of user files left below
  // "WEB-INF/user/", by their name's form (the record folder has its own),
  // and those of the login cache and the store document.
  static void removeUserFileWorkFiles();
  [[noreturn]] void acceptLoop();

  std::unique_ptr<platform::ServerSocket> serverSocket_;
  std::unique_ptr<CryptedStreams> cryptedStreams_;
  std::string appPath_;
  std::unique_ptr<common::ImageHelper> imageHelper_;
  std::unique_ptr<DomainUser> domainUser_;
  std::unique_ptr<ImageScan> imageScan_;
};

}  // namespace quorvelauction::offline
