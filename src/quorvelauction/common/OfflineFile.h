#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/File.h"
#include "platform/Writer.h"

namespace quorvelauction::common {

class Config;

// One entry of an update file list ("filelist.txt": per regular file a line
// name "*" size "*" CRC-32 "\n", in UTF-8), and the file operations the
// lists need. Every file is opened through GlobalConfig's file stream
// factory, so sizes and checksums describe plain content.
class OfflineFile {
 public:
  static constexpr int kChunk = 10240;

  // Stores the three values.
  OfflineFile(std::string name, int32_t size, int64_t checksum);
  virtual ~OfflineFile() = default;

  // Writes folder + "filelist.txt" (folder absolute, ending in the separator,
  // created when missing) listing every regular file below it. Raises I/O
  // errors; a folder that cannot be listed is one.
  static void createFilelist(const std::string& folder);

  // The CRC-32 of the file's plain content, 0..4294967295 (the list
  // operation named "checksum"; the field of that name holds its result).
  static int64_t checksumOf(const platform::File& file);

  // Prepares folder + name for download: when needsUpdate, deletes the file's
  // stale ".backup" (kept when the file is missing: then it is the only old
  // copy), creates its missing parent folders, appends name to names and
  // answers true. host and sessionId are not read.
  virtual bool update(std::vector<std::string>& names, const std::string& folder,
                      const std::string& host, const std::string& sessionId) const;

  // True when the file is missing, differs in length from size, or its
  // CRC-32 differs from checksum (the file is read only when lengths agree).
  virtual bool needsUpdate(const platform::File& file) const;

  std::string name;   // relative to the list's folder
  int32_t size;       // length in bytes, low 32 bits
  int64_t checksum;   // unsigned CRC-32

 private:
  friend class Config;
  // The lines of files and, depth first in listing order, of the folders
  // among them; each name is the absolute path less its first prefixLength
  // bytes. "filelist.txt" and "dont_update.txt" are never listed. Leaves
  // the writer open.
  static void addFiles(platform::Writer& writer, int32_t prefixLength,
                       const std::vector<platform::File>& files);
};

}  // namespace quorvelauction::common
