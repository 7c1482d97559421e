#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorvelauction/common/OfflineFile.h"

namespace platform {
class ObjectInputStream;
class ObjectOutputStream;
}

namespace quorvelauction::offline {

// The client of the online service's transfer servlet. Every operation is
// one HTTP POST to "/app/communication" on the host whose body and reply are
// object-serialization streams of primitive data: a command text, its
// fields, and files as a 32-bit length and their plain bytes. Nothing is
// kept between calls; every failure reaches the caller.
class OnlineCommunication {
 public:
  OnlineCommunication() = delete;

  // Request bodies above this size are spooled to a temporary file, not memory.
  static constexpr int64_t kSpoolThreshold = int64_t{16} << 20;

  // The uploads answer the service's text unchanged.
  static std::string uploadFirstImage(const std::string& host, const std::string& localPath,
                                      const std::string& sessionId, int32_t number,
                                      const std::string& remoteName);
  static std::string uploadImage(const std::string& host, const std::string& localPath,
                                 const std::string& sessionId, int32_t number,
                                 const std::string& c, const std::string& d);
  static std::string uploadSound(const std::string& host, const std::string& localPath,
                                 const std::string& sessionId, int32_t number,
                                 const std::string& remoteName, const std::string& kind);
  static std::string uploadScaledImage(const std::string& host, const std::string& localPath,
                                       const std::string& sessionId, int32_t firstNumber,
                                       int32_t secondNumber, const std::string& extension);
  // Sends basePath + ".swf" and basePath + ".jpg" in one request.
  static std::string uploadVideoAndImage(const std::string& host, const std::string& basePath,
                                         const std::string& sessionId, int32_t number,
                                         const std::string& remoteName);

  // One remote log record; the service's answer is read and dropped.
  static void log(const std::string& host, const std::string& sessionId, const std::string& type,
                  const std::string& text);
  // Fetches the files of a video into folder + id + each received name and
  // returns the service's first number. A received name that could lead
  // elsewhere is refused before any file is opened. When given, written
  // gets each file's path before the file is opened.
  static int32_t downloadVideo(const std::string& folder, const std::string& host,
                               const std::string& sessionId, const std::string& directoryName,
                               int32_t id, std::vector<std::string>* written = nullptr);
  // The service's entry for its update file list; a status other than "ok"
  // fails with that status as the message.
  static common::OfflineFile getOfflineFilelistInfo(const std::string& command,
                                                    const std::string& host,
                                                    const std::string& sessionId);
  // Fetches each name into folder + name + ".update" from one zlib reply.
  static void downloadOfflineFiles(const std::string& command, const std::string& folder,
                                   const std::string& host, const std::string& sessionId,
                                   const std::vector<std::string>& names);
  // As above, storing the i-th file as folder + localNames[i] + ".update".
  static void downloadOfflineFiles(const std::string& command, const std::string& folder,
                                   const std::string& host, const std::string& sessionId,
                                   const std::vector<std::string>& names,
                                   const std::vector<std::string>& localNames);

 private:
  class Exchange;

  static std::string uploadFileWithCommand(const std::string& command, const std::string& host,
                                           const std::string& localPath,
                                           const std::string& sessionId, int32_t number,
                                           const std::string& c, const std::string& d);
  // A file field: the length, then the plain bytes, each piece counted in
  // Server::transferStatusSent.
  static void uploadFile(platform::ObjectOutputStream& out, const std::string& path);
  // Reads one file field into path, counting the bytes as they arrive.
  static void downloadFile(const std::string& path, platform::ObjectInputStream& in);
  static std::string defaultDomain();
};

}  // namespace quorvelauction::offline
