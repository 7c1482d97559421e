#include "quorvelauction/offline/OnlineCommunication.h"

#include <cctype>
#include <chrono>
#include <thread>

#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/OnlineCommunicationExchange.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

using common::GlobalConfig;
using platform::ObjectInputStream;
using platform::ObjectOutputStream;

namespace {

constexpr int kReadChunk = 10240;
constexpr int kWriteBuffer = 8192;
constexpr auto kPause = std::chrono::milliseconds(100);

// A received name is appended to a folder path and a number: it must stay a
// plain name, and must not begin with a digit, which would make it a file of
// another number ("0.jpg" after 1 is picture 10).
void checkReceivedName(const std::string& name) {
  if (name.empty() || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos ||
      name.find("..") != std::string::npos || std::isdigit(static_cast<unsigned char>(name[0]))) {
    throw platform::IOException("refused file name from the service: " + name);
  }
}

}  // namespace

std::string OnlineCommunication::uploadFileWithCommand(
    const std::string& command, const std::string& host, const std::string& localPath,
    const std::string& sessionId, int32_t number, const std::string& c, const std::string& d) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF(command);
  out.writeUTF(sessionId);
  out.writeInt(number);
  out.writeUTF(c);
  out.writeUTF(d);
  uploadFile(out, localPath);
  out.flush();
  std::this_thread::sleep_for(kPause);
  return exchange.reply().readUTF();
}

std::string OnlineCommunication::uploadFirstImage(const std::string& host,
                                                  const std::string& localPath,
                                                  const std::string& sessionId, int32_t number,
                                                  const std::string& remoteName) {
  return uploadFileWithCommand("imageUpload", host, localPath, sessionId, number, remoteName,
                               "first");
}

std::string OnlineCommunication::uploadImage(const std::string& host, const std::string& localPath,
                                             const std::string& sessionId, int32_t number,
                                             const std::string& c, const std::string& d) {
  return uploadFileWithCommand("imageUpload", host, localPath, sessionId, number, c, d);
}

std::string OnlineCommunication::uploadSound(const std::string& host, const std::string& localPath,
                                             const std::string& sessionId, int32_t number,
                                             const std::string& remoteName,
                                             const std::string& kind) {
  return uploadFileWithCommand("soundUpload", host, localPath, sessionId, number, remoteName,
                               kind);
}

std::string OnlineCommunication::uploadScaledImage(const std::string& host,
                                                   const std::string& localPath,
                                                   const std::string& sessionId,
                                                   int32_t firstNumber, int32_t secondNumber,
                                                   const std::string& extension) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF("uploadScaledImage");
  out.writeUTF(sessionId);
  out.writeInt(firstNumber);
  out.writeInt(secondNumber);
  out.writeUTF(extension);
  uploadFile(out, localPath);
  return exchange.reply().readUTF();
}

std::string OnlineCommunication::uploadVideoAndImage(const std::string& host,
                                                     const std::string& basePath,
                                                     const std::string& sessionId, int32_t number,
                                                     const std::string& remoteName) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF("videoAndImageUpload");
  out.writeUTF(sessionId);
  out.writeInt(number);
  out.writeUTF(remoteName);
  out.writeUTF("swf");
  uploadFile(out, basePath + ".swf");
  uploadFile(out, basePath + ".jpg");
  return exchange.reply().readUTF();
}

void OnlineCommunication::log(const std::string& host, const std::string& sessionId,
                              const std::string& type, const std::string& text) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF("log");
  out.writeUTF(sessionId);
  out.writeUTF(type);
  out.writeUTF(text);
  exchange.reply().readUTF();
}

int32_t OnlineCommunication::downloadVideo(const std::string& folder, const std::string& host,
                                           const std::string& sessionId,
                                           const std::string& directoryName, int32_t id,
                                           std::vector<std::string>* written) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF("downloadVideo");
  out.writeUTF(sessionId);
  out.writeUTF(directoryName);
  ObjectInputStream& in = exchange.reply();
  int32_t result = in.readInt();
  for (std::string name = in.readUTF(); name != "ok"; name = in.readUTF()) {
    checkReceivedName(name);
    const std::string path = folder + std::to_string(id) + name;
    if (written) written->push_back(path);
    downloadFile(path, in);
  }
  return result;
}

std::string OnlineCommunication::defaultDomain() {
  std::optional<std::string> domain = GlobalConfig::getProperty("defaultDomain");
  if (!domain) throw platform::NullPointerException("the setting defaultDomain is missing");
  return *domain;
}

common::OfflineFile OnlineCommunication::getOfflineFilelistInfo(const std::string& command,
                                                                const std::string& host,
                                                                const std::string& sessionId) {
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF(command + "WithDomain");
  out.writeUTF(defaultDomain());
  out.writeUTF(sessionId);
  ObjectInputStream& in = exchange.reply();
  std::string status = in.readUTF();
  if (status != "ok") throw platform::Exception(status);
  std::string name = in.readUTF();
  int32_t size = in.readInt();
  int64_t checksum = in.readLong();
  return common::OfflineFile(name, size, checksum);
}

void OnlineCommunication::downloadOfflineFiles(const std::string& command,
                                               const std::string& folder, const std::string& host,
                                               const std::string& sessionId,
                                               const std::vector<std::string>& names) {
  downloadOfflineFiles(command, folder, host, sessionId, names, names);
}

void OnlineCommunication::downloadOfflineFiles(const std::string& command,
                                               const std::string& folder, const std::string& host,
                                               const std::string& sessionId,
                                               const std::vector<std::string>& names,
                                               const std::vector<std::string>& localNames) {
  if (localNames.size() != names.size()) throw platform::IllegalArgumentException("one local name per name");
  platform::System::out().println("downloadOfflineFiles start");
  Exchange exchange(host);
  ObjectOutputStream& out = exchange.request();
  out.writeUTF(command + "WithDomain");
  out.writeUTF(defaultDomain());
  out.writeUTF(sessionId);
  out.writeInt(static_cast<int32_t>(names.size()));
  for (const std::string& name : names) out.writeUTF(name);
  ObjectInputStream& in = exchange.reply(true);
  std::string status = in.readUTF();
  platform::System::out().println("downloadOfflineFiles: result: " + status);
  if (status != "ok") throw platform::Exception(status);
  for (const std::string& name : localNames) downloadFile(folder + name + ".update", in);
  platform::System::out().println("downloadOfflineFiles end");
}

void OnlineCommunication::uploadFile(ObjectOutputStream& out, const std::string& path) {
  platform::InputStreamPtr file = GlobalConfig::createFileInputStream(path);
  int64_t length = platform::File(path).length();
  // The field's 32-bit length cannot describe such a file.
  if (length > INT32_MAX) throw platform::IOException("file of 2 GiB or more: " + path);
  out.writeInt(static_cast<int32_t>(length));
  char buffer[kReadChunk];
  int64_t sent = 0;
  while (sent != length) {
    int got = file->read(buffer, 0, static_cast<int>(std::min<int64_t>(kReadChunk, length - sent)));
    // A shorter file would shift every later field: fail before sending.
    if (got < 0) throw platform::IOException("file shrank while being sent: " + path);
    Server::transferStatusSent += got;
    out.write(buffer, 0, got);
    sent += got;
  }
  file->close();
}

void OnlineCommunication::downloadFile(const std::string& path, ObjectInputStream& in) {
  platform::OutputStreamPtr file = GlobalConfig::createFileOutputStream(path);
  int32_t length = in.readInt();
  char buffer[kWriteBuffer];
  for (int64_t left = length; left > 0;) {
    int got = in.read(buffer, 0, static_cast<int>(std::min<int64_t>(kWriteBuffer, left)));
    if (got < 0) {
      file->close();
      throw platform::EOFException("reply ended inside a file: " + path);
    }
    file->write(buffer, 0, got);
    Server::transferStatusSent += got;
    left -= got;
  }
  file->close();
}

}  // namespace quorvelauction::offline
