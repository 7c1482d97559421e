#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/File.h"
#include "quorvelauction/common/UserWrapper.h"
#include "xml/Element.h"

namespace quorvelauction::common {

class Category;
class EbayCache;

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

  // The characteristics set of the domain's eBay site, or a null handle
  // when the site's cache has no set of that id. Fails when the domain has
  // no site id or the site no loaded cache.
  virtual xml::Element getCharacteristicsSet(const std::string& domain, int32_t csId);
  // The category from the site's cache (kept alive by the handle), or
  // nothing when the site has no cache or the cache no such category.
  virtual std::shared_ptr<const Category> getCategory(int32_t siteId, int32_t categoryId);
  // The category branches of the "."-separated parent ids, one after the
  // other; "" for no id. Any failure gives "error", and nothing else.
  virtual std::string getCategoriesImpl(const std::string& domain, const std::string& parentIds);
  // getCategoriesImpl for the domain of a session: a session id starting
  // with staticSessionId names its domain after the prefix (none: the
  // default domain); another is asked of the callback.
  virtual std::string getCategories(const std::string& sessionId, const std::string& parentIds);

 private:
  // The file's text in one line: UTF-16 behind either byte-order mark,
  // otherwise UTF-8, with every character below U+0020 removed. "" when the
  // path guard refuses the name, "error reading file " + name when the file
  // cannot be read.
  std::string loadFileImpl(const std::string& baseFolder, const std::string& prefix,
                           const std::string& name);
  // "<_id parents=\"#path\" count=\"n\">" + one item per category +
  // "</_id>". Fails with "category not found" when there is no item.
  std::string getOneCategoryBranch(const std::string& domain, int32_t parentId);

  UserWrapper& user;
};

}  // namespace quorvelauction::common
