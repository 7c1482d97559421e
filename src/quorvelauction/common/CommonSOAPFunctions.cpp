#include "quorvelauction/common/CommonSOAPFunctions.h"

#include <algorithm>
#include <exception>
#include <unordered_set>
#include <vector>

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/PrintStream.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Category.h"
#include "quorvelauction/common/Config.h"
#include "quorvelauction/common/EbayCache.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/Message.h"

namespace quorvelauction::common {

namespace {

// The pieces of text between "$" signs, empty ones dropped.
std::vector<std::string> splitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('$', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// Exactly length bytes of the stream; an earlier end fails.
std::string readBytes(platform::InputStream& in, int64_t length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  int64_t done = 0;
  while (done < length) {
    int chunk = static_cast<int>(std::min<int64_t>(length - done, 1 << 20));
    int n = in.read(bytes.data() + done, 0, chunk);
    if (n < 0) throw platform::EOFException("end of file after " + std::to_string(done) + " bytes");
    done += n;
  }
  return bytes;
}

// UTF-16 behind either byte-order mark, else UTF-8.
std::string decodeText(const std::string& bytes) {
  if (bytes.size() >= 2) {
    auto b0 = static_cast<unsigned char>(bytes[0]);
    auto b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      std::string text = platform::Charset::forName("UTF-16").decode(bytes);
      if (!text.empty()) return text;
    }
  }
  return platform::Charset::utf8().decode(bytes);
}

// Control characters are single bytes below 0x20 in UTF-8 and never part of
// a longer sequence, so dropping those bytes drops exactly the characters.
std::string withoutControls(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
             text.end());
  return text;
}

std::shared_ptr<const EbayCache> cacheOf(const std::string& domain) {
  int32_t siteId = Config::getSite(domain);
  std::shared_ptr<const EbayCache> cache = GlobalConfig::getEbayCache(siteId);
  if (!cache) throw platform::IllegalStateException("no category cache for site " + std::to_string(siteId));
  return cache;
}

const char* flag(bool value) { return value ? "1" : "0"; }

void appendItem(std::string& out, const Category& c) {
  out.append("<item uniqueID=\"").append(std::to_string(c.getId()));
  out.append("\" csId=\"").append(std::to_string(c.getCsId()));
  out.append("\" leaf=\"").append(std::to_string(c.getLeaf()));
  out.append("\" ls=\"").append(flag(c.isLotsize()));
  out.append("\" ce=\"").append(flag(c.isConditionExcluded()));
  // An absent text (a cache head without a minimum price) is sent as "null".
  out.append("\" name=\"'").append(c.getName().value_or("null"));
  out.append("'\" rpa=\"").append(flag(c.isReservePriceAllowed()));
  out.append("\" mrp=\"").append(c.getMinimumReservePrice().value_or("null"));
  out.append("\" rra=\"").append(flag(c.isReduceReserveAllowed()));
  out.append("\"/>");
}

// The ids from the top down to id, joined by ".". The walk ends at -1, at an
// id the cache does not hold, or before an id would come round a second
// time, so a parent cycle cannot keep it going.
std::string parentsPath(const EbayCache& cache, int32_t id) {
  std::string path;
  std::unordered_set<int32_t> seen;
  for (;;) {
    path.insert(0, std::to_string(id));
    seen.insert(id);
    if (id == -1) break;
    auto found = cache.categories.find(id);
    if (found == cache.categories.end()) break;
    id = found->second->getParentId();
    if (seen.count(id) != 0) break;
    path.insert(0, ".");
  }
  return path;
}

}  // namespace

CommonSOAPFunctions::CommonSOAPFunctions(UserWrapper& user) : user(user) {}

bool CommonSOAPFunctions::validPath(const std::string& baseFolder, const std::string& prefix,
                                    const platform::File& file) {
  // A NUL would cut the name short at the system call.
  if (file.getPath().find('\0') != std::string::npos) return false;
  std::string path = file.getCanonicalPath();
  std::string folder = platform::File(baseFolder + prefix).getCanonicalPath();
  if (path.compare(0, folder.size(), folder) != 0) return false;
  // Only the folder itself or something below its separator: "user2" does
  // not lie inside "user".
  return path.size() == folder.size() || folder.back() == platform::File::separatorChar ||
         path[folder.size()] == platform::File::separatorChar;
}

std::string CommonSOAPFunctions::loadFileWithPrefix(const std::string& baseFolder,
                                                    const std::string& prefix,
                                                    const std::string& names) {
  try {
    std::vector<std::string> list = splitNames(names);
    // One name: the whole text names the file, "$" signs at its ends included.
    if (list.size() == 1) return loadFileImpl(baseFolder, prefix, names);
    std::string reply = "<files>";
    for (const std::string& name : list) {
      reply.append("<file name=\"").append(name).append("\">");
      reply.append(loadFileImpl(baseFolder, prefix, name)).append("</file>");
    }
    reply.append("</files>");
    return reply;
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return Message::getError(user.getDefaultDomain(), "exception", platform::describe(e));
  }
}

std::string CommonSOAPFunctions::loadFileImpl(const std::string& baseFolder, const std::string& prefix,
                                              const std::string& name) {
  platform::File file(baseFolder + prefix + name);
  bool opening = false;
  try {
    if (!validPath(baseFolder, prefix, file)) return "";
    int64_t length = file.length();
    opening = true;
    platform::InputStreamPtr in = GlobalConfig::createFileInputStream(file);
    opening = false;
    std::string bytes = readBytes(*in, length);
    in->close();
    return withoutControls(decodeText(bytes));
  } catch (const std::exception& e) {
    if (opening) {
      platform::System::out().println("file not found: " + name);
    } else {
      platform::printStackTrace(e);
    }
    return "error reading file " + name;
  }
}

xml::Element CommonSOAPFunctions::getCharacteristicsSet(const std::string& domain, int32_t csId) {
  return cacheOf(domain)->getCharacteristicsSets(csId);
}

std::shared_ptr<const Category> CommonSOAPFunctions::getCategory(int32_t siteId, int32_t categoryId) {
  std::shared_ptr<const EbayCache> cache = GlobalConfig::getEbayCache(siteId);
  if (!cache) return nullptr;
  auto found = cache->categories.find(categoryId);
  if (found == cache->categories.end()) return nullptr;
  // Shares the cache's ownership, so the category outlives a reload.
  return std::shared_ptr<const Category>(cache, found->second);
}

std::string CommonSOAPFunctions::getCategoriesImpl(const std::string& domain, const std::string& parentIds) {
  try {
    std::string result;
    for (const std::string& piece : platform::Strings::split(parentIds, ".")) {
      if (piece.empty()) continue;
      result.append(getOneCategoryBranch(domain, platform::Integers::parseInt(piece)));
    }
    return result;
  } catch (const std::exception&) {
    // The front end only tells an answer from a failure.
    return "error";
  }
}

std::string CommonSOAPFunctions::getOneCategoryBranch(const std::string& domain, int32_t parentId) {
  std::shared_ptr<const EbayCache> cache = cacheOf(domain);
  CategoryList items;
  auto children = cache->parentCategories.find(parentId);
  if (children != cache->parentCategories.end()) {
    items = children->second;
  } else {
    auto self = cache->categories.find(parentId);
    if (self != cache->categories.end() && self->second->getLeaf() == 1) items.push_back(self->second);
  }
  if (items.empty()) throw platform::Exception("category not found");

  const std::string element = "_" + std::to_string(parentId);
  std::string branch = "<" + element + " parents=\"#" + parentsPath(*cache, parentId) +
                       "\" count=\"" + std::to_string(items.size()) + "\">";
  for (const Category* item : items) appendItem(branch, *item);
  branch.append("</").append(element).append(">");
  return branch;
}

std::string CommonSOAPFunctions::getCategories(const std::string& sessionId, const std::string& parentIds) {
  try {
    std::string domain;
    if (platform::Strings::startsWith(sessionId, staticSessionId)) {
      domain = sessionId.substr(std::char_traits<char>::length(staticSessionId));
      if (domain.empty()) domain = user.getDefaultDomain();
    } else {
      int32_t userId = user.getUserIdBySessionId(sessionId);
      if (userId < 0) return Message::getError(user.getDefaultDomain(), "invalid_sessionId");
      domain = user.getDomain(userId);
    }
    return getCategoriesImpl(domain, parentIds);
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return Message::getError(user.getDefaultDomain(), "exception", platform::describe(e));
  }
}

}  // namespace quorvelauction::common
