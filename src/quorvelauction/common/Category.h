#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorvelauction::common {

class Category;
// Categories are owned by their EbayCache; tables and lists point into it.
using CategoryList = std::vector<Category*>;
using CategoryMap = std::map<int32_t, Category*>;

// One node of an eBay site's category tree, with the listing options the
// site allows in it. Built by EbayCache and only read afterwards.
class Category {
 public:
  Category() = default;

  int32_t getId() const { return id_; }
  void setId(int32_t id) { id_ = id; }
  // Id of the mapped characteristics set; 0 when none is mapped.
  int32_t getCsId() const { return csId_; }
  void setCsId(int32_t csId) { csId_ = csId; }
  // 1 when no loaded category has this one as its parent.
  int32_t getLeaf() const { return leaf_; }
  void setLeaf(int32_t leaf) { leaf_ = leaf; }
  // Form-URL-encoded (UTF-8, blank as "+").
  const std::optional<std::string>& getName() const { return name_; }
  void setName(std::optional<std::string> name) { name_ = std::move(name); }
  // -1 for a top-level category.
  int32_t getParentId() const { return parentId_; }
  void setParentId(int32_t parentId) { parentId_ = parentId; }
  // As written in the cache files; no number conversion.
  const std::optional<std::string>& getMinimumReservePrice() const { return minimumReservePrice_; }
  void setMinimumReservePrice(std::optional<std::string> price) {
    minimumReservePrice_ = std::move(price);
  }
  // 1 inverts the inherited reservePriceAllowed for the whole subtree.
  int32_t getOrpa() const { return orpa_; }
  void setOrpa(int32_t orpa) { orpa_ = orpa; }
  // 1 inverts the inherited reduceReserveAllowed for the whole subtree.
  int32_t getOrra() const { return orra_; }
  void setOrra(int32_t orra) { orra_ = orra; }

  bool isLotsize() const { return lotsize_; }
  void setLotsize(bool lotsize) { lotsize_ = lotsize; }
  bool isReturnPolicyExcluded() const { return returnPolicyExcluded_; }
  void setReturnPolicyExcluded(bool excluded) { returnPolicyExcluded_ = excluded; }
  bool isConditionExcluded() const { return conditionExcluded_; }
  void setConditionExcluded(bool excluded) { conditionExcluded_ = excluded; }
  bool isReservePriceAllowed() const { return reservePriceAllowed_; }
  void setReservePriceAllowed(bool allowed) { reservePriceAllowed_ = allowed; }
  bool isReduceReserveAllowed() const { return reduceReserveAllowed_; }
  void setReduceReserveAllowed(bool allowed) { reduceReserveAllowed_ = allowed; }

  const CategoryList& getChildren() const { return children_; }
  void addChild(Category* child) { children_.push_back(child); }

  // These store the value in this category and its whole subtree. Each
  // category is visited once, so a children graph that loops back on itself
  // ends the walk instead of recursing without end.
  void setReservePriceAllowedRecursive(bool allowed);
  void setReduceReserveAllowedRecursive(bool allowed);
  void setMinimumReservePriceRecursive(const std::optional<std::string>& price);

  // Whether id is this category or one of its ancestors in categories. A
  // parent chain that loops answers false after a bounded number of steps.
  bool isParentId(const CategoryMap& categories, int32_t id) const;

 private:
  template <typename Visit>
  void forSubtree(Visit visit);

  int32_t id_ = 0;
  int32_t csId_ = 0;
  int32_t leaf_ = 0;
  std::optional<std::string> name_;
  int32_t parentId_ = 0;
  CategoryList children_;
  std::optional<std::string> minimumReservePrice_;
  int32_t orpa_ = 0;
  int32_t orra_ = 0;
  bool lotsize_ = false;
  bool returnPolicyExcluded_ = false;
  bool conditionExcluded_ = false;
  bool reservePriceAllowed_ = false;
  bool reduceReserveAllowed_ = false;
};

}  // namespace quorvelauction::common
