#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/File.h"
#include "platform/InputStream.h"
#include "platform/OutputStream.h"
#include "platform/Properties.h"
#include "quorvelauction/common/FileStreamFactory.h"
#include "quorvelauction/common/ImageHelper.h"

namespace quorvelauction::common {

class EbayCache;

// What more than one part of the system needs to find: the application and
// user folders, the settings of "WEB-INF/global.properties", the hooks that
// open program files and work on images, and the id scrambling of cryptId.
// Static only. The start-up sets everything once, on its single thread,
// before any connection thread exists: the factory first, then load(), then
// the image helper. The operations that the class lock guards say so; the
// others read fields that no longer change by then.
class GlobalConfig {
 public:
  GlobalConfig() = delete;

  // Locked. Stores both folders (absolute, ending in the separator) and reads
  // path + "WEB-INF/global.properties" through the factory into a new table.
  // A file that cannot be read prints "can't read global.properties file "
  // + its name and leaves the table as far as it was filled; other errors
  // (a malformed escape) pass out.
  static void load(const std::string& path, const std::string& userPath);

  // The setting, or nothing when global.properties lacks it.
  static std::optional<std::string> getProperty(const std::string& key);

  // Locked. The application folder.
  static std::string getPath();
  // The user folder.
  static std::string getUserPath();

  // The hooks are not owned: each must live as long as it is installed.
  static FileStreamFactory* getFileStreamFactory() { return fileStreamFactory_.load(); }
  // Locked.
  static void setFileStreamFactoryHelper(FileStreamFactory* factory);
  static ImageHelper* getImageHelper() { return imageHelper_.load(); }
  // Locked.
  static void setImageHelper(ImageHelper* helper);

  // The installed factory's streams, unchanged. Without a factory they fail
  // with IllegalStateException.
  static platform::InputStreamPtr createFileInputStream(const std::string& path);
  static platform::InputStreamPtr createFileInputStream(const platform::File& file);
  static platform::OutputStreamPtr createFileOutputStream(const std::string& path);
  static platform::OutputStreamPtr createFileOutputStream(const platform::File& file);

  // The site ids of the domains listed in "domains" (comma-separated, blanks
  // around names and empty pieces ignored), each once, in order of first
  // appearance. A domain whose site id cannot be read prints its trace and
  // is left out. Fails when "domains" is absent.
  static std::vector<int32_t> getSites();
  // Replace the category caches by new ones of every listed site, or of the
  // one domain's site. The table is emptied first; a site whose cache fails
  // to build prints its trace and has no entry. Readers wait for a reload.
  static void reloadEbayCacheFiles();
  static void reloadEbayCacheFilesForOneDomain(const std::string& domain);
  // The site's cache, or nothing when it is not loaded. A holder keeps its
  // cache usable after a reload has replaced the table.
  static std::shared_ptr<const EbayCache> getEbayCache(int32_t siteId);

  // n XOR a fixed mask chosen by the five low bits of n. Every mask has those
  // bits clear, so cryptId(cryptId(n)) == n. Stored auction paths depend on
  // the masks: they never change.
  static int32_t cryptId(int32_t n);

 private:
  static FileStreamFactory& factory();


  // The class lock.
  static inline std::mutex lock_;
  static inline std::string path_;
  static inline std::string userPath_;
  static inline platform::Properties globalConfig_;
  static inline std::atomic<FileStreamFactory*> fileStreamFactory_{nullptr};
  static inline std::atomic<ImageHelper*> imageHelper_{nullptr};
  // Guards ebayCaches_ across a whole reload. Not the class lock: a reload
  // reads settings through Config and SiteConfig, which take their own locks
  // and ask getPath for the class lock on the same thread. This lock is
  // always taken first and never while another of them is held, so no two
  // lock orders can meet.
  static inline std::mutex ebayCachesLock_;
  static inline std::unordered_map<int32_t, std::shared_ptr<const EbayCache>> ebayCaches_;
};

}  // namespace quorvelauction::common
