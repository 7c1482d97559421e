#pragma once

#include <cstdint>
#include <string>

#include "platform/File.h"
#include "quorvelauction/common/UserWrapper.h"

namespace quorvelauction::common {

// File loading below a base folder and the eBay category functions that the
// command handlers share. The server makes exactly one at start-up; it holds
// no state besides the callback, so every thread may use it at once.
class CommonSOAPFunctions {
 public:
  // The session id prefix that names a domain directly (getCategories).
  static constexpr const char* staticSessionId = "b3d05e91c7";

  // Keeps the callback (not owned; it outlives this object). Cannot fail.
  explicit CommonSOAPFunctions(UserWrapper& user);
  virtual ~CommonSOAPFunctions() = default;
  CommonSOAPFunctions(const CommonSOAPFunctions&) = delete;
  CommonSOAPFunctions& operator=(const CommonSOAPFunctions&) = delete;

  // Whether the canonical path of file is the folder baseFolder + prefix or
  // lies below it. Links and "." / ".." are resolved first; a sibling whose
  // name merely starts with the folder's name is outside.
  virtual bool validPath(const std::string& baseFolder, const std::string& prefix,
                         const platform::File& file);

  // names holds one or more file names separated by "$". One name gives
  // that file's text; none or several give the "<files>" reply with every
  // file in the order named. A failure outside the per-file reading gives
  // the domain's "exception" error text.
  virtual std::string loadFileWithPrefix(const std::string& baseFolder, const std::string& prefix,
                                         const std::string& names);

 private:
  // The file's text in one line: UTF-16 behind either byte-order mark,
  // otherwise UTF-8, with every character below U+0020 removed. "" when the
  // path guard refuses the name, "error reading file " + name when the file
  // cannot be read.
  std::string loadFileImpl(const std::string& baseFolder, const std::string& prefix,
                           const std::string& name);

  UserWrapper& user;
};

}  // namespace quorvelauction::common
