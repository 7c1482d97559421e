#pragma once

// The online service's transfer servlet as the self-update meets it: it holds an update tree
// (the files the service offers and their list "filelist.txt"), answers the file-list query
// with the list's entry and sends files by name. Downloads may be spoiled on purpose.

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ByteArrayInputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/File.h"
#include "platform/ObjectInputStream.h"
#include "platform/ObjectOutputStream.h"
#include "platform/Strings.h"
#include "quorvelauction/common/OfflineFile.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"
#include "support/ZlibBytes.h"

namespace quorvelauction::offline {

class UpdateServlet {
 public:
  explicit UpdateServlet(testsupport::OnlineService& service) {
    service.setHttpHandler([this](const testsupport::OnlineService::HttpRequest& request) {
      testsupport::OnlineService::HttpReply reply;
      bool files = false;
      reply.body = answer(request.body, files);
      std::lock_guard<std::mutex> guard(mutex_);
      if (files && pieces_ > 1) {
        reply.pieceBytes = reply.body.size() / pieces_ + 1;
        reply.betweenPieces = betweenPieces_;
      }
      return reply;
    });
  }

  // Replies with files other than the list alone go out in that many pieces, with between
  // run after each piece but the last.
  void sendFilesInPieces(size_t pieces, std::function<void()> between) {
    std::lock_guard<std::mutex> guard(mutex_);
    pieces_ = pieces;
    betweenPieces_ = std::move(between);
  }

  // A file of the tree; publish() lists them.
  void put(const std::string& name, const std::string& bytes) { tree.write(name, bytes); }
  void publish() { common::OfflineFile::createFilelist(tree.path()); }
  // A list of one's own, e.g. with names no tree could produce.
  void publishList(const std::string& text) { tree.write("filelist.txt", text); }

  // The next `times` downloads of name arrive with their last byte changed.
  void spoil(const std::string& name, int times) {
    std::lock_guard<std::mutex> guard(mutex_);
    spoiled_[name] = times;
  }
  void offerNothing() {
    std::lock_guard<std::mutex> guard(mutex_);
    nothing_ = true;
  }
  // Every request as command and names, e.g. "downloadOfflineFilesWithDomain a.txt b.txt".
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
  }

  void clearRequests() {
    std::lock_guard<std::mutex> guard(mutex_);
    requests_.clear();
  }

  testsupport::TempDir tree;

 private:
  static std::string plain(const std::string& name) { return platform::Strings::replace(name, "\\", "/"); }

  // carriesFiles: whether the reply holds files other than the list alone.
  std::string answer(const std::string& body, bool& carriesFiles) {
    platform::ByteArrayInputStream bytes(body);
    platform::ObjectInputStream in(bytes);
    std::string command = in.readUTF();
    in.readUTF();  // domain
    in.readUTF();  // session id
    std::lock_guard<std::mutex> guard(mutex_);
    if (command.rfind("getOfflineFilelistInfo", 0) == 0) {
      requests_.push_back(command);
      return listEntry();
    }
    int32_t count = in.readInt();
    std::string record = command;
    platform::ByteArrayOutputStream sink;
    platform::ObjectOutputStream out(sink);
    std::vector<std::string> files;
    for (int32_t i = 0; i < count; ++i) {
      std::string name = in.readUTF();
      record += " " + name;
      files.push_back(fileBytes(name));
    }
    requests_.push_back(record);
    carriesFiles = record != command + " filelist.txt";
    out.writeUTF("ok");
    for (const std::string& file : files) {
      out.writeInt(static_cast<int32_t>(file.size()));
      out.write(file);
    }
    out.flush();
    return testsupport::zlibOf(sink.take());
  }

  std::string listEntry() {
    platform::ByteArrayOutputStream sink;
    platform::ObjectOutputStream out(sink);
    out.writeUTF("ok");
    out.writeUTF("filelist.txt");
    platform::File list(tree.file("filelist.txt"));
    out.writeInt(nothing_ ? 0 : static_cast<int32_t>(list.length()));
    int64_t checksum = nothing_ ? 0 : common::OfflineFile::checksumOf(list);
    out.writeInt(static_cast<int32_t>(checksum >> 32));
    out.writeInt(static_cast<int32_t>(checksum));
    out.flush();
    return sink.take();
  }

  std::string fileBytes(const std::string& name) {
    std::string bytes = testsupport::TempDir::read(tree.file(plain(name)));
    auto it = spoiled_.find(name);
    if (it != spoiled_.end() && it->second > 0) {
      --it->second;
      if (bytes.empty()) bytes = "x"; else bytes.back() ^= 1;
    }
    return bytes;
  }

  mutable std::mutex mutex_;
  std::map<std::string, int> spoiled_;
  bool nothing_ = false;
  size_t pieces_ = 1;
  std::function<void()> betweenPieces_;
  std::vector<std::string> requests_;
};

}  // namespace quorvelauction::offline
