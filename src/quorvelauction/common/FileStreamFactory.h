#pragma once

#include <string>

#include "platform/File.h"
#include "platform/InputStream.h"
#include "platform/OutputStream.h"

namespace quorvelauction::common {

// Opens the program's data files. The one implementation decides per path
// whether the bytes on disk are scrambled; callers always see plain content.
// The caller owns and closes every stream it gets.
class FileStreamFactory {
 public:
  virtual ~FileStreamFactory() = default;

  // Creates a folder, given relative to the user folder, with its parents.
  virtual void mkdirs(const std::string& path) = 0;
  // Creates the file, or cuts it to length 0. Fails with an IOException.
  virtual platform::OutputStreamPtr createFileOutputStream(const std::string& path) = 0;
  virtual platform::OutputStreamPtr createFileOutputStream(const platform::File& file) = 0;
  // Fails with FileNotFoundException when the file cannot be opened.
  virtual platform::InputStreamPtr createFileInputStream(const std::string& path) = 0;
  virtual platform::InputStreamPtr createFileInputStream(const platform::File& file) = 0;
};

}  // namespace quorvelauction::common
