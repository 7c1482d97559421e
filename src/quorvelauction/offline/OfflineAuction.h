#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"
#include "platform/Properties.h"
#include "xml/Document.h"
#include "xml/Element.h"

namespace quorvelauction::offline {

// One auction kept on the user's computer: its local number, the auction XML
// as the front end sent it and its state, stored in the record file
// "WEB-INF/user/auction/<number>" of the user folder (a properties file with
// "id", "xmlContent" and "state"). The list columns and the date are derived
// from the XML and the file when a list is built; they are never stored.
//
// Records are shared between connection threads: number, XML and state are
// read and changed under the record's lock. The list columns belong to
// whoever called setFromCollector; lists work on their own copies.
class OfflineAuction {
 public:
  OfflineAuction(int32_t id, std::string xmlContent);
  // A snapshot of the other record's number, XML, state and columns.
  OfflineAuction(const OfflineAuction& other);
  OfflineAuction& operator=(const OfflineAuction&) = delete;
  virtual ~OfflineAuction() = default;

  virtual void setXmlContent(std::string xmlContent);
  virtual void setState(int32_t state);
  virtual void setId(int32_t id);
  // Fills title, category, minimumBidCent, type and date from the XML and
  // the record file; failures are printed, never raised.
  virtual void setFromCollector(const std::optional<std::string>& xml);
  // Replaces the record file. The new content is written beside the old file
  // and renamed over it, so a failed save leaves the previous record intact.
  virtual void save();
  // Sets the XML and saves, with no other save of this record in between,
  // so that the file and the record end up holding the same text.
  void saveXmlContent(std::string xmlContent);
  // Saves the record in the submitted state, but only while it still holds
  // uploadedXml and has not been removed: an edit saved since the upload
  // keeps its state, so it can be sent again. Checked and written with no
  // save of this record in between. Whether it was written.
  bool markSubmitted(const std::string& uploadedXml);
  // Marks the record as removed, so that markSubmitted no longer writes its
  // file again. Waits for a save under way, so the caller's deletion of the
  // file comes after it.
  void markRemoved();
  bool isRemoved() const;
  virtual std::string getXmlContent() const;
  virtual int32_t getState() const;
  virtual int32_t getId() const;
  // Appends "title", "category", "minimumBid", "type" and "date" children.
  virtual void fillInto(xml::Element& element) const;

  // A copy for a list: number and state, the list columns as
  // setFromCollector gives them for the current XML, and the record file's
  // date. The columns of one XML text are worked out once and kept; a
  // failure is printed again at every call, as a fresh reading would.
  // `folder`, when not -1, is the record folder (getAuctionPath()) held
  // open, where the record file's date is looked up.
  std::unique_ptr<OfflineAuction> listEntry(int folder = -1) const;
  // Works out the columns of the current XML now, unless they are known;
  // prints nothing. Lists call it for many records side by side.
  void prepareListColumns() const;
  // Whether the columns of the current XML are known already.
  bool listColumnsKnown() const;

  // 1 + the largest numbered record file (negatives count as 0), 1 when
  // there is none. Nothing is reserved.
  static int32_t createId();
  // The user folder + "WEB-INF/user/auction/".
  static std::string getAuctionPath();
  // The numbers of the record files, in folder-listing order.
  static std::vector<int32_t> getAuctionIds();
  // Removes the work files that interrupted saves left in the record
  // folder; nothing else is touched.
  static void removeWorkFiles();
  // Reads a record file; fails when it is missing, unreadable or holds no
  // valid "id" or "state".
  static std::unique_ptr<OfflineAuction> load(int32_t id);
  // Deletes a record file; a missing one is no failure.
  static void remove(int32_t id);
  // Last change of a record file; the start of 1970 when there is none.
  static platform::Date getDate(int32_t id);
  // Points the front end's template, component, module and font addresses
  // at the local server.
  static void convertFaPresetPaths(xml::Document& document);

  // List columns, derived by setFromCollector.
  int64_t date = 0;
  std::string title;
  int32_t category = 0;
  int32_t minimumBidCent = 0;
  std::string type;

 private:
  OfflineAuction() = default;
  static std::string recordPath(int32_t id);
  // The numbers of the record files; fails when the folder cannot be listed.
  static std::vector<int32_t> listNumbers();
  static void replacePath(xml::Element& parent, std::string_view name, std::string_view address);

  // What setFromCollector reads from one XML text.
  struct Columns {
    std::string title;
    int32_t category = 0;
    int32_t minimumBidCent = 0;
    std::string type;
    bool complete = false;               // every column read: the date comes next
    std::optional<std::string> failure;  // the printed form of the failure
  };
  // The columns in order; stops at the first failure.
  static Columns readColumns(const std::optional<std::string>& xml);
  // Sets the columns and the date, and prints the failure.
  // `folder` as for listEntry.
  void apply(const Columns& columns, int folder = -1);
  // The record file's last change; see listEntry for `folder`.
  int64_t fileDate(int folder) const;
  std::shared_ptr<const Columns> currentColumns() const;

  // The record file's entries with the given state; the caller holds mutex_.
  platform::Properties entries(int32_t state) const;
  // Writes the record file; the caller holds saveMutex_.
  void writeFile();
  void writeFile(int32_t id, const platform::Properties& entries);

  // Held across setting the XML, writing and renaming: one save at a time.
  std::mutex saveMutex_;
  mutable std::mutex mutex_;
  int32_t id_ = 0;
  int32_t state_ = 0;
  std::string xmlContent_;
  bool removed_ = false;
  // Counts the changes of xmlContent_.
  uint64_t generation_ = 0;
  // The columns of xmlContent_, once known.
  mutable std::shared_ptr<const Columns> columns_;
};

}  // namespace quorvelauction::offline
