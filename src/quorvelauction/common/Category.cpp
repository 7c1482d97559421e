#include "quorvelauction/common/Category.h"

#include <unordered_set>

namespace quorvelauction::common {

namespace {
// More steps than any real category tree is deep.
constexpr int kMaxAncestorSteps = 1000;
}  // namespace

// Depth first, this category first, children in list order.
template <typename Visit>
void Category::forSubtree(Visit visit) {
  std::unordered_set<const Category*> seen;
  std::vector<Category*> pending{this};
  while (!pending.empty()) {
    Category* category = pending.back();
    pending.pop_back();
    if (!seen.insert(category).second) continue;
    visit(*category);
    const CategoryList& children = category->children_;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      if (*it && !seen.count(*it)) pending.push_back(*it);
    }
  }
}

void Category::setReservePriceAllowedRecursive(bool allowed) {
  forSubtree([allowed](Category& c) { c.reservePriceAllowed_ = allowed; });
}

void Category::setReduceReserveAllowedRecursive(bool allowed) {
  forSubtree([allowed](Category& c) { c.reduceReserveAllowed_ = allowed; });
}

void Category::setMinimumReservePriceRecursive(const std::optional<std::string>& price) {
  forSubtree([&price](Category& c) { c.minimumReservePrice_ = price; });
}

bool Category::isParentId(const CategoryMap& categories, int32_t id) const {
  const Category* current = this;
  for (int step = 0; step <= kMaxAncestorSteps; ++step) {
    if (current->id_ == -1) return false;
    if (current->id_ == id) return true;
    auto parent = categories.find(current->parentId_);
    if (parent == categories.end() || !parent->second) return false;
    current = parent->second;
  }
  return false;
}

}  // namespace quorvelauction::common
