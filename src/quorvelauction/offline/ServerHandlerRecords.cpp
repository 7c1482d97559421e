// The local auction record commands: save, load, remove, the next free
// number and the three auction lists.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <memory>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Strings.h"
#include "quorvelauction/offline/NumberLock.h"
#include "quorvelauction/offline/OfflineAuction.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "xml/DocumentHelper.h"
#include "xml/OutputFormat.h"
#include "xml/XMLWriter.h"

namespace quorvelauction::offline {

namespace {

using Record = OfflineAuction;

// A parameter the command cannot do without; its absence reads as the
// platform's number reading of a missing text.
int32_t numberParameter(const platform::Properties& props, std::string_view key) {
  std::optional<std::string> value = props.getProperty(key);
  if (!value) throw platform::NumberFormatException("null");
  return platform::Integers::parseInt(*value);
}

// The list orders. Each shares one truth cell that says ascending; in
// descending order the second record is compared with the first.
class Ordering {
 public:
  explicit Ordering(std::shared_ptr<bool> ascending) : ascending_(std::move(ascending)) {}
  virtual ~Ordering() = default;
  virtual int compare(const Record& a, const Record& b) const = 0;
  bool before(const Record& a, const Record& b) const {
    return (*ascending_ ? compare(a, b) : compare(b, a)) < 0;
  }

 protected:
  template <class T>
  static int sign(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
  }

 private:
  std::shared_ptr<bool> ascending_;
};

class ByTitle : public Ordering {
 public:
  using Ordering::Ordering;
  int compare(const Record& a, const Record& b) const override {
    return platform::Strings::compareTo(a.title, b.title);
  }
};

class ByCategory : public Ordering {
 public:
  using Ordering::Ordering;
  int compare(const Record& a, const Record& b) const override { return sign(a.category, b.category); }
};

class ByMinimumBid : public Ordering {
 public:
  using Ordering::Ordering;
  int compare(const Record& a, const Record& b) const override {
    return sign(a.minimumBidCent, b.minimumBidCent);
  }
};

class ByDate : public Ordering {
 public:
  using Ordering::Ordering;
  int compare(const Record& a, const Record& b) const override { return sign(a.date, b.date); }
};

// Runs work(0) .. work(count - 1) on a few threads; small counts run here.
template <class Work>
void inParallel(size_t count, Work work) {
  size_t threads = std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), 8, count / 32});
  if (threads <= 1) {
    for (size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t i; (i = next.fetch_add(1)) < count;) work(i);
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(run);
  run();
  for (std::thread& t : pool) t.join();
}

// The record folder open for lookups while a list is built; -1 when it
// cannot be opened, and the records' paths are used instead.
class RecordFolder {
 public:
  RecordFolder()
      : descriptor_(::open(OfflineAuction::getAuctionPath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  RecordFolder(const RecordFolder&) = delete;
  RecordFolder& operator=(const RecordFolder&) = delete;
  ~RecordFolder() {
    if (descriptor_ != -1) ::close(descriptor_);
  }
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

std::unique_ptr<Ordering> orderingFor(const std::optional<std::string>& sortBy,
                                      std::shared_ptr<bool> ascending) {
  if (sortBy == "title") return std::make_unique<ByTitle>(std::move(ascending));
  if (sortBy == "category") return std::make_unique<ByCategory>(std::move(ascending));
  if (sortBy == "minimumBid") return std::make_unique<ByMinimumBid>(std::move(ascending));
  return std::make_unique<ByDate>(std::move(ascending));
}

}  // namespace

std::string Server::Handler::onAuctionCreateId(Properties&) {
  return std::to_string(OfflineAuction::createId());
}

std::string Server::Handler::onAuctionSave(Properties& props) {
  int32_t id = numberParameter(props, "auctionIdString");
  std::optional<std::string> xml = props.getProperty("xmlContent");
  // A record cannot hold an absent text; fail before the table changes.
  if (!xml) throw platform::NullPointerException("xmlContent missing");
  std::shared_ptr<OfflineAuction> record = server_.auctions.with([&](auto& auctions) {
    std::shared_ptr<OfflineAuction>& slot = auctions[id];
    if (!slot) slot = std::make_shared<OfflineAuction>(id, *xml);
    return slot;
  });
  // The text is set under the record's save lock, not the table's: two
  // saves of one record cannot cross between setting and writing.
  record->saveXmlContent(*xml);
  return "ok";
}

std::string Server::Handler::onAuctionLoad(Properties& props) {
  int32_t id = numberParameter(props, "auctionIdString");
  try {
    std::shared_ptr<OfflineAuction> record = OfflineAuction::load(id);
    server_.auctions.with([&](auto& auctions) { auctions[id] = record; });
    return record->getXmlContent();
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return "";
  }
}

std::string Server::Handler::onAuctionRemove(Properties& props) {
  std::optional<std::string> ids = props.getProperty("auctionIdString");
  if (!ids) throw platform::NullPointerException("auctionIdString missing");
  for (const std::string& part : platform::Strings::split(*ids, " ")) {
    try {
      int32_t id = platform::Integers::parseInt(part);
      // A submission under way must not write the record's file again.
      if (std::shared_ptr<OfflineAuction> held = heldAuction(id)) held->markRemoved();
      OfflineAuction::remove(id);
      // A number handed out again must not inherit the removed auction's
      // state or online id.
      server_.auctions.with([&](auto& auctions) { auctions.erase(id); });
      // Under the number's lock: a creation in flight for the number would
      // otherwise put the pairing back once it is through.
      NumberLock creation(id);
      server_.auctionIdMapping.with([&](auto& mapping) { mapping.erase(id); });
    } catch (const std::exception& e) {
      platform::printStackTrace(e);
    }
  }
  return "ok";
}

std::shared_ptr<OfflineAuction> Server::Handler::heldAuction(int32_t id) {
  return server_.auctions.with([&](auto& auctions) -> std::shared_ptr<OfflineAuction> {
    auto found = auctions.find(id);
    return found == auctions.end() ? nullptr : found->second;
  });
}

std::shared_ptr<OfflineAuction> Server::Handler::holdAuction(int32_t id, std::shared_ptr<OfflineAuction> read) {
  return server_.auctions.with(
      [&](auto& auctions) { return auctions.emplace(id, std::move(read)).first->second; });
}

std::string Server::Handler::auctionList(Properties& props, int32_t state) {
  int32_t limit = numberParameter(props, "limit");
  xml::Document document = xml::DocumentHelper::createDocument();
  xml::Element root = document.addElement("auctions");

  const std::vector<int32_t> ids = OfflineAuction::getAuctionIds();
  // Without a limit every record not yet held is read anyway: read them side
  // by side first. With a limit only those up to it may be read.
  std::vector<std::shared_ptr<OfflineAuction>> read(ids.size());
  std::vector<std::exception_ptr> failures(ids.size());
  // Threads start only for records to read: a repeated list holds them all.
  if (limit < 0) {
    std::vector<size_t> missing;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (!heldAuction(ids[i])) missing.push_back(i);
    }
    inParallel(missing.size(), [&](size_t k) {
      const size_t i = missing[k];
      try {
        read[i] = OfflineAuction::load(ids[i]);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    });
  }

  std::vector<std::shared_ptr<OfflineAuction>> collected;
  for (size_t i = 0; i < ids.size(); ++i) {
    std::shared_ptr<OfflineAuction> record = heldAuction(ids[i]);
    if (!record) {
      try {
        if (failures[i]) std::rethrow_exception(failures[i]);
        record = holdAuction(ids[i], read[i] ? read[i] : OfflineAuction::load(ids[i]));
      } catch (const std::exception& e) {
        platform::printStackTrace(e);
        continue;
      }
    }
    if (record->getState() != state) continue;
    if (limit == 0) break;
    --limit;
    collected.push_back(record);
  }

  // Only columns not yet known are worked out side by side: a repeated list
  // knows them all and starts no threads. The entries are copies: the shared
  // records may be in use by other connections.
  std::vector<const OfflineAuction*> unknown;
  for (const std::shared_ptr<OfflineAuction>& record : collected) {
    if (!record->listColumnsKnown()) unknown.push_back(record.get());
  }
  inParallel(unknown.size(), [&](size_t i) { unknown[i]->prepareListColumns(); });
  // The dates are looked up in the record folder held open: a walk along
  // the whole path for each record costs more than the rest of its entry.
  RecordFolder folder;
  std::vector<std::unique_ptr<OfflineAuction>> listed;
  listed.reserve(collected.size());
  for (const std::shared_ptr<OfflineAuction>& record : collected) {
    listed.push_back(record->listEntry(folder.descriptor()));
  }

  auto ascending = std::make_shared<bool>(props.getProperty("sortDirection") == "ascending");
  std::unique_ptr<Ordering> ordering = orderingFor(props.getProperty("sortBy"), ascending);
  std::stable_sort(listed.begin(), listed.end(), [&](const auto& a, const auto& b) {
    return ordering->before(*a, *b);
  });

  for (const std::unique_ptr<OfflineAuction>& record : listed) {
    xml::Element entry = root.addElement("auction");
    entry.addElement("id").setText(std::to_string(record->getId()));
    record->fillInto(entry);
  }
  return xml::XMLWriter(xml::OutputFormat::createCompactFormat()).toString(root);
}

}  // namespace quorvelauction::offline
