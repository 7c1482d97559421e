#include "quorvelauction/common/EbayCache.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/BufferedReader.h"
#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/InputStreamReader.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/ServiceSingeltons.h"
#include "quorvelauction/common/SiteConfig.h"
#include "quorvelauction/common/XMLUtils.h"
#include "xml/SAXReader.h"

namespace quorvelauction::common {

using platform::Integers;
using platform::Strings;

namespace {

constexpr int kMaxAncestorSteps = 1000;
// Service ids from here on name international shipping services.
constexpr int32_t kFirstInternationalServiceId = 50000;
// Set ids whose exclusions mark the condition and return-policy exemptions.
constexpr std::string_view kConditionSetId = "1950";
constexpr std::string_view kReturnPolicySetId = "2136";

void println(const std::string& line) { platform::System::out().println(line); }

std::string boolText(bool value) { return value ? "true" : "false"; }

// The lines of a UTF-8 text file read through the file stream factory.
class LineReader {
 public:
  explicit LineReader(const std::string& path)
      : reader_(std::make_unique<platform::InputStreamReader>(
            GlobalConfig::createFileInputStream(path), platform::Charset::utf8())) {}
  ~LineReader() {
    try {
      reader_.close();
    } catch (const std::exception&) {
      // Everything needed has been read.
    }
  }

  // The next line, or false at the end of the text.
  bool next(std::string& line) { return reader_.readLine(line); }

 private:
  platform::BufferedReader reader_;
};

// The text without the characters up to U+0020 at either end, as
// Strings::trim cuts it, but without a copy.
std::string_view trimmed(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return text.substr(begin, end - begin);
}

// The fields of line as Strings::split(line, "\t") cuts them (trailing
// empty fields dropped, a line without a TAB whole), as views into line.
// fields is reused from line to line, so the lines cost no allocation.
void splitAtTab(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string_view::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  if (fields.size() == 1) return;
  while (!fields.empty() && fields.back().empty()) fields.pop_back();
}

std::string_view field(const std::vector<std::string_view>& fields, size_t index,
                       std::string_view line) {
  if (index >= fields.size()) {
    throw platform::IndexOutOfBoundsException("no field " + std::to_string(index) + " in line: " +
                                              std::string(line));
  }
  return fields[index];
}

}  // namespace

bool EbayCache::Utf16Less::operator()(const std::string& a, const std::string& b) const {
  return Strings::compareTo(a, b) < 0;
}

EbayCache::EbayCache(int32_t siteId, const std::string& folder) {
  const std::string siteFolder = folder + "WEB-INF/" + std::to_string(siteId);
  readExclusions(siteFolder + "/config/category-exclude.txt");
  readCategories(siteFolder + "/ebay-cache/categories.txt");
  // The table stays as it is from here up to the re-rooting.
  const CategoryArray byId(categories.begin(), categories.end());
  readCharacteristicsSetMapping(siteFolder + "/ebay-cache/getcategory2cs.xml", byId);
  readAttributes(siteFolder + "/ebay-cache/attributes.txt");
  link(byId);
  applyOverrides(byId);
  readFeatures(siteFolder + "/ebay-cache/GetCategoryFeatures.xml", byId);
  reRoot(siteId);
  readShippingServices(GlobalConfig::getPath() + "WEB-INF/" + std::to_string(siteId) +
                       "/ebay-cache/ShippingServiceDetails.xml");
}

Category* EbayCache::find(const CategoryArray& byId, int32_t id) {
  auto found = std::lower_bound(byId.begin(), byId.end(), id,
                                [](const auto& entry, int32_t key) { return entry.first < key; });
  return found != byId.end() && found->first == id ? found->second : nullptr;
}

void EbayCache::readExclusions(const std::string& path) {
  if (!platform::File(path).exists()) return;
  println("exclude file: " + path);
  LineReader reader(path);
  std::string line;
  while (reader.next(line)) {
    std::string trimmed = Strings::trim(line);
    if (trimmed.empty()) continue;
    try {
      excluded_.insert(Integers::parseInt(Strings::split(trimmed, " ")[0]));
    } catch (const platform::NumberFormatException&) {
      // A line without an id in front is a comment.
    }
  }
}

void EbayCache::readCategories(const std::string& path) {
  LineReader reader(path);
  std::string line;
  if (!reader.next(line)) throw platform::IOException("no version line in " + path);
  println("categories version " + std::to_string(Integers::parseInt(line)));

  Category defaults;
  if (!reader.next(line)) throw platform::IOException("no reserve price line in " + path);
  defaults.setReservePriceAllowed(line == "1");
  if (!reader.next(line)) throw platform::IOException("no reduce reserve line in " + path);
  defaults.setReduceReserveAllowed(line == "1");
  if (reader.next(line)) defaults.setMinimumReservePrice(line);
  println("global reserve price settings:");
  println("reservePriceAllowed: " + boolText(defaults.isReservePriceAllowed()));
  println("reduceReserveAllowed: " + boolText(defaults.isReduceReserveAllowed()));
  println("minimumReservePrice: " + defaults.getMinimumReservePrice().value_or("null"));

  // The head ends at the first empty line.
  while (reader.next(line)) {
    if (trimmed(line).empty()) break;
  }
  std::vector<std::string_view> fields;
  while (reader.next(line)) {
    std::string_view text = trimmed(line);
    if (!text.empty()) readCategoryLine(text, defaults, fields);
  }
  println(std::to_string(categories.size()) + " categories loaded");
}

void EbayCache::readCategoryLine(std::string_view line, const Category& defaults,
                                 std::vector<std::string_view>& fields) {
  splitAtTab(line, fields);
  int32_t id = Integers::parseInt(fields[0]);
  if (excluded_.count(id)) return;
  int32_t parentId = Integers::parseInt(field(fields, 1, line));
  if (parentId == id) parentId = -1;

  Category* category = &owned_.emplace_back();
  category->setId(id);
  category->setParentId(parentId);
  category->setLeaf(1);
  category->setLotsize(field(fields, 2, line) == "1");
  category->setReservePriceAllowed(defaults.isReservePriceAllowed());
  category->setReduceReserveAllowed(defaults.isReduceReserveAllowed());
  category->setOrpa(Integers::parseInt(field(fields, 4, line)));
  category->setOrra(Integers::parseInt(field(fields, 5, line)));
  category->setMinimumReservePrice(defaults.getMinimumReservePrice());
  category->setName(ServiceSingeltons::encodeURL(std::string(field(fields, 3, line))));
  parentCategories[parentId].push_back(category);
  // Ids mostly come in ascending order: the end is then the right place.
  categories.insert_or_assign(categories.end(), id, category);
}

void EbayCache::readAttributes(const std::string& path) {
  LineReader reader(path);
  std::string line;
  std::vector<std::string_view> fields;
  while (reader.next(line)) {
    std::string_view text = trimmed(line);
    if (text.empty()) continue;
    try {
      splitAtTab(text, fields);
      int32_t setId = Integers::parseInt(fields[0]);
      characteristicsSets[setId] =
          ServiceSingeltons::decodeURL(std::string(field(fields, 1, text)));
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
      println("error in line: " + std::string(text));
    }
  }
}

void EbayCache::link(const CategoryArray& byId) {
  for (const auto& [id, category] : byId) {
    if (category->getParentId() < 0) continue;
    Category* parent = find(byId, category->getParentId());
    if (!parent) continue;
    parent->setLeaf(0);
    parent->addChild(category);
  }
}

// Overrides are applied from the top of each branch down, so an override
// below another one inverts the value the upper one left, as "inverts its
// inherited flag" means. Categories on a parent loop are not below any top
// and follow afterwards in id order.
void EbayCache::applyOverrides(const CategoryArray& byId) {
  std::vector<Category*> order;
  order.reserve(categories.size());
  std::vector<Category*> pending;
  // Adds the subtree of top, depth first in list order, leaving out what
  // seen holds (when given) and adding the rest to it.
  auto walk = [&](Category* top, std::unordered_set<const Category*>* seen) {
    pending.push_back(top);
    while (!pending.empty()) {
      Category* category = pending.back();
      pending.pop_back();
      if (seen && !seen->insert(category).second) continue;
      order.push_back(category);
      const CategoryList& children = category->getChildren();
      for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back(*it);
    }
  };
  // link() gave each category to its parent alone, so below the tops the
  // children lists form trees: no category is met twice and no visited set
  // is needed.
  for (const auto& [id, category] : byId) {
    int32_t parentId = category->getParentId();
    if (parentId < 0 || !find(byId, parentId)) walk(category, nullptr);
  }
  if (order.size() < byId.size()) {
    std::unordered_set<const Category*> seen(order.begin(), order.end());
    for (const auto& [id, category] : byId) {
      if (!seen.count(category)) walk(category, &seen);
    }
  }

  for (Category* category : order) {
    if (category->getOrpa() == 1) {
      category->setReservePriceAllowedRecursive(!category->isReservePriceAllowed());
    }
    if (category->getOrra() == 1) {
      category->setReduceReserveAllowedRecursive(!category->isReduceReserveAllowed());
    }
  }
}

void EbayCache::reRoot(int32_t siteId) {
  std::optional<std::string> setting = SiteConfig::getProperty(siteId, "rootCategory");
  if (!setting || setting->empty()) return;
  int32_t rootId = Integers::parseInt(*setting);
  auto root = categories.find(rootId);
  if (root != categories.end()) {
    Category* rootCategory = root->second;
    CategoryMap subtree;
    addChildren(subtree, rootCategory);
    categories = std::move(subtree);
    parentCategories.clear();
    parentCategories[-1] = rootCategory->getChildren();
    for (const auto& [id, category] : categories) {
      if (excluded_.count(id)) continue;
      int32_t parentId = category->getParentId() == id ? -1 : category->getParentId();
      category->setLeaf(1);
      parentCategories[parentId].push_back(category);
    }
    for (const auto& [id, category] : categories) {
      if (category->getParentId() < 0) continue;
      auto parent = categories.find(category->getParentId());
      if (parent != categories.end()) parent->second->setLeaf(0);
    }
    for (const auto& [id, category] : categories) {
      if (category->getParentId() == rootId) category->setParentId(-1);
    }
  }
  println("new root category, now " + std::to_string(categories.size()) + " categories loaded");
}

// Walks without recursion, so a deep tree cannot exhaust the stack; a
// children graph that loops back stops at categories already collected and
// at the new root itself.
void EbayCache::addChildren(CategoryMap& map, Category* category) {
  std::vector<const Category*> pending{category};
  while (!pending.empty()) {
    const Category* current = pending.back();
    pending.pop_back();
    for (Category* child : current->getChildren()) {
      if (!child || child == category || map.count(child->getId())) continue;
      map[child->getId()] = child;
      pending.push_back(child);
    }
  }
}

void EbayCache::printRootCategories() const {
  auto top = parentCategories.find(-1);
  if (top == parentCategories.end()) return;
  for (const Category* category : top->second) {
    println(std::to_string(category->getId()) + "\t" + XMLUtils::unescape(category->getName()));
  }
}

bool EbayCache::isInternationalServiceOption(const std::string& serviceName) const {
  return internationalShippingServices.count(serviceName) > 0;
}

int32_t EbayCache::getMainCategory(int32_t categoryId) const {
  auto current = categories.find(categoryId);
  if (current == categories.end()) return categoryId;
  for (int moves = 0; moves < kMaxAncestorSteps; ++moves) {
    int32_t parentId = current->second->getParentId();
    if (parentId < 0) return current->second->getId();
    auto parent = categories.find(parentId);
    // The highest loaded ancestor stands in for a parent that is not loaded.
    if (parent == categories.end()) return current->second->getId();
    current = parent;
  }
  return categoryId;
}

int32_t EbayCache::getSubCategory(int32_t categoryId) const {
  int32_t mainId = getMainCategory(categoryId);
  auto current = categories.find(categoryId);
  for (int moves = 0; moves < kMaxAncestorSteps && current != categories.end(); ++moves) {
    int32_t parentId = current->second->getParentId();
    if (parentId == mainId) return current->second->getId();
    current = categories.find(parentId);
  }
  return 0;
}

namespace {

// The root element of an XML cache file; a file that cannot be read or
// parsed has none (its trace is already printed).
xml::Element rootOf(const std::string& path) {
  xml::Element root = XMLUtils::fileToDoc(path).getRootElement();
  if (!root) throw platform::IOException("cannot read " + path);
  return root;
}

xml::Element child(const xml::Element& parent, std::string_view name) {
  xml::Element found = parent.element(name);
  if (!found) {
    throw platform::Exception("element " + std::string(name) + " not found in " +
                              parent.getName());
  }
  return found;
}

int32_t childNumber(const xml::Element& parent, std::string_view name) {
  return Integers::parseInt(child(parent, name).getText());
}

}  // namespace

void EbayCache::readCharacteristicsSetMapping(const std::string& path,
                                              const CategoryArray& byId) {
  xml::Element root = rootOf(path);
  xml::Element siteWide = child(root, "SiteWideCharacteristicSets");
  for (const xml::Element& set : siteWide.elements("CharacteristicsSet")) {
    std::string setId = child(set, "AttributeSetID").getText();
    if (setId == kConditionSetId) {
      for (const xml::Element& exclude : siteWide.elements("ExcludeCategoryID")) {
        Category* found = find(byId, Integers::parseInt(exclude.getText()));
        if (found) found->setConditionExcluded(true);
      }
    } else if (setId == kReturnPolicySetId) {
      for (const xml::Element& exclude : set.elements("ExcludeCategoryID")) {
        Category* found = find(byId, Integers::parseInt(exclude.getText()));
        if (found) found->setReturnPolicyExcluded(true);
      }
    }
  }
  for (const xml::Element& mapped : child(root, "MappedCategoryArray").elements("Category")) {
    Category* found = find(byId, childNumber(mapped, "CategoryID"));
    if (!found) continue;
    found->setCsId(childNumber(child(mapped, "CharacteristicsSets"), "AttributeSetID"));
  }
}

void EbayCache::readFeatures(const std::string& path, const CategoryArray& byId) {
  for (const xml::Element& feature : rootOf(path).elements("Category")) {
    xml::Element price = feature.element("MinimumReservePrice");
    if (!price) continue;
    Category* found = find(byId, childNumber(feature, "CategoryID"));
    if (!found) continue;
    found->setMinimumReservePriceRecursive(price.getText());
    found->setReservePriceAllowedRecursive(true);
  }
}

void EbayCache::readShippingServices(const std::string& path) {
  for (const xml::Element& service : rootOf(path).elements("ShippingServiceDetails")) {
    std::string name = child(service, "ShippingService").getText();
    if (childNumber(service, "ShippingServiceID") >= kFirstInternationalServiceId) {
      internationalShippingServices.insert(std::move(name));
    }
  }
}

xml::Element EbayCache::getCharacteristicsSets(int32_t setId) const {
  auto found = characteristicsSets.find(setId);
  if (found == characteristicsSets.end()) return xml::Element();
  return xml::SAXReader().read(found->second).getRootElement();
}

}  // namespace quorvelauction::common
