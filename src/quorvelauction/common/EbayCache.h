#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "quorvelauction/common/Category.h"
#include "xml/Element.h"

namespace quorvelauction::common {

// What the system knows offline about the categories of one eBay site: the
// category tree with each category's listing options, the characteristics
// sets (item specifics) by set id and the site's international shipping
// services. Built in one go from the site's cache files below
// "WEB-INF/<site id>/" and only read afterwards, so any thread may read a
// finished cache without a lock.
class EbayCache {
 public:
  // Orders texts by their UTF-16 code units.
  struct Utf16Less {
    bool operator()(const std::string& a, const std::string& b) const;
  };

  // folder is the application folder, ending in the path separator. Prints
  // its progress on standard output; any failure that the cache files
  // cannot absorb leaves with an exception.
  EbayCache(int32_t siteId, const std::string& folder);

  EbayCache(const EbayCache&) = delete;
  EbayCache& operator=(const EbayCache&) = delete;

  // One line per top-level category: the id, a TAB and the plain name.
  void printRootCategories() const;
  bool isInternationalServiceOption(const std::string& serviceName) const;
  // The ancestor (or the category itself) on the second level of its branch;
  // 0 when there is none or the parent chain loops.
  int32_t getSubCategory(int32_t categoryId) const;
  // The top-level ancestor (or the category itself); the asked id when it is
  // not loaded or its parent chain loops.
  int32_t getMainCategory(int32_t categoryId) const;
  // The root element of the set, parsed anew on every call; a null handle
  // when no set of that id is cached. Text that is not well-formed XML fails
  // with xml::DocumentException.
  xml::Element getCharacteristicsSets(int32_t setId) const;

  // Parent id to its children in the order of their lines in the category
  // file; -1 holds the top level.
  std::map<int32_t, CategoryList> parentCategories;
  // Every loaded category by id.
  CategoryMap categories;
  std::set<std::string, Utf16Less> internationalShippingServices;

 private:
  // The categories table as an array in id order. The build walks it and
  // looks ids up in it many times, which an array does faster than the tree.
  using CategoryArray = std::vector<std::pair<int32_t, Category*>>;
  // The category of id in byId, or null.
  static Category* find(const CategoryArray& byId, int32_t id);

  void readExclusions(const std::string& path);
  void readCategories(const std::string& path);
  // fields is scratch space for the line's fields.
  void readCategoryLine(std::string_view line, const Category& defaults,
                        std::vector<std::string_view>& fields);
  void readCharacteristicsSetMapping(const std::string& path, const CategoryArray& byId);
  void readAttributes(const std::string& path);
  void link(const CategoryArray& byId);
  void applyOverrides(const CategoryArray& byId);
  void readFeatures(const std::string& path, const CategoryArray& byId);
  void reRoot(int32_t siteId);
  void readShippingServices(const std::string& path);

  // Collects the subtree below category, without category itself.
  static void addChildren(CategoryMap& map, Category* category);

  // Every category made, also those a later line or the re-rooting dropped
  // from the tables; a deque keeps their addresses fixed.
  std::deque<Category> owned_;
  std::unordered_map<int32_t, std::string> characteristicsSets;
  std::unordered_set<int32_t> excluded_;
};

}  // namespace quorvelauction::common
