#include "quorvelauction/offline/OfflineAuction.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <unordered_set>
#include <chrono>
#include <cmath>
#include <limits>

#include "platform/BufferedInputStream.h"
#include "platform/BufferedOutputStream.h"
#include "platform/Exceptions.h"
#include "platform/File.h"
#include "platform/FileReplacement.h"
#include "platform/Properties.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "quorvelauction/common/Auction.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "xml/SAXReader.h"
#include "zentravilo/util/DayDate.h"

namespace quorvelauction::offline {

using common::GlobalConfig;

namespace {

// The platform's decimal number reading: blanks around it, an optional
// sign, digits with an optional fraction and exponent, an optional type
// suffix, or NaN and Infinity.
double parseDouble(std::string_view text) {
  std::string t = platform::Strings::trim(text);
  std::string_view s = t;
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (s == "Infinity") return negative ? -HUGE_VAL : HUGE_VAL;
  if (!s.empty() && std::string_view("fFdD").find(s.back()) != std::string_view::npos)
    s.remove_suffix(1);
  size_t i = 0, digits = 0;
  bool valid = true;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') ++i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (digits > 0 && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exponent = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    valid = i > exponent;
  }
  if (!valid || digits == 0 || i != s.size())
    throw platform::NumberFormatException("For input string: \"" + std::string(text) + "\"");
  // The C locale's reading: "." whatever the process's locale says.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  std::string digitsOnly(s);
  double value = strtod_l(digitsOnly.c_str(), nullptr, cLocale);
  return negative ? -value : value;
}

// The nearest whole number, halves upwards, kept to 32 bits as a narrowing
// of the 64-bit result does.
int32_t roundToInt(double x) {
  if (std::isnan(x)) return 0;
  int64_t whole;
  if (x >= 9.2233720368547758e18)
    whole = std::numeric_limits<int64_t>::max();
  else if (x <= -9.2233720368547758e18)
    whole = std::numeric_limits<int64_t>::min();
  else {
    double f = std::floor(x);
    whole = static_cast<int64_t>(f) + (x - f >= 0.5 ? 1 : 0);
  }
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

// The amount with two decimals, half to even, "." as separator.
std::string formatAmount(int32_t cents) {
  double amount = static_cast<float>(cents) / 100.0f;
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, amount, std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

std::string replaceEuro(const std::string& text) {
  return platform::Strings::replace(text, "\xE2\x82\xAC", "EUR");
}

std::string required(const xml::Element& element, std::string_view name) {
  std::optional<std::string> value = element.attributeValue(name);
  if (!value) throw platform::NullPointerException("attribute " + std::string(name) + " missing");
  return *value;
}

// A name that is a whole decimal integer, or nothing.
std::optional<int32_t> numberOf(const std::string& name) {
  try {
    return platform::Integers::parseInt(name);
  } catch (const platform::NumberFormatException&) {
    return std::nullopt;
  }
}

int32_t requiredNumber(const platform::Properties& record, std::string_view key) {
  std::optional<std::string> value = record.getProperty(key);
  if (!value) throw platform::NumberFormatException("null");
  return platform::Integers::parseInt(*value);
}

// The day of an instant as "dd.MM.yyyy". The records of a list mostly share
// a few days, so the last day's text is kept per thread: the text depends on
// the day number alone.
const std::string& germanDay(int64_t instant) {
  using zentravilo::util::DayDate;
  thread_local std::optional<int32_t> lastDay;
  thread_local std::string lastText;
  DayDate day{platform::Date(instant)};
  if (lastDay != day.getChronologicalJulianDay()) {
    lastText = day.asGermanFormat();
    lastDay = day.getChronologicalJulianDay();
  }
  return lastText;
}

// Whether a folder entry is a regular file, links followed. The listing's
// own file type spares a status query for all but links and unknown types.
bool isRegularFile(DIR* dir, const struct dirent& entry) {
  if (entry.d_type == DT_REG) return true;
  if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return false;
  struct stat st;
  return ::fstatat(::dirfd(dir), entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

OfflineAuction::OfflineAuction(int32_t id, std::string xmlContent)
    : id_(id), xmlContent_(std::move(xmlContent)) {}

OfflineAuction::OfflineAuction(const OfflineAuction& other)
    : date(other.date),
      title(other.title),
      category(other.category),
      minimumBidCent(other.minimumBidCent),
      type(other.type) {
  std::lock_guard<std::mutex> guard(other.mutex_);
  id_ = other.id_;
  state_ = other.state_;
  xmlContent_ = other.xmlContent_;
  generation_ = other.generation_;
  columns_ = other.columns_;
}

void OfflineAuction::setXmlContent(std::string xmlContent) {
  std::lock_guard<std::mutex> guard(mutex_);
  xmlContent_ = std::move(xmlContent);
  ++generation_;
  columns_.reset();
}

void OfflineAuction::setState(int32_t state) {
  std::lock_guard<std::mutex> guard(mutex_);
  state_ = state;
}

void OfflineAuction::setId(int32_t id) {
  std::lock_guard<std::mutex> guard(mutex_);
  id_ = id;
}

std::string OfflineAuction::getXmlContent() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return xmlContent_;
}

int32_t OfflineAuction::getState() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return state_;
}

int32_t OfflineAuction::getId() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return id_;
}

std::string OfflineAuction::getAuctionPath() {
  return GlobalConfig::getUserPath() + "WEB-INF/user/auction/";
}

std::string OfflineAuction::recordPath(int32_t id) { return getAuctionPath() + std::to_string(id); }

std::vector<int32_t> OfflineAuction::listNumbers() {
  const std::string folder = getAuctionPath();
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    throw platform::IOException("cannot list " + folder + ": " +
                                std::error_code(errno, std::generic_category()).message());
  }
  std::vector<int32_t> numbers;
  // "5" and "05" are one record: each number is listed once.
  std::unordered_set<int32_t> seen;
  while (const struct dirent* entry = ::readdir(dir)) {
    std::optional<int32_t> n = numberOf(entry->d_name);
    if (n && isRegularFile(dir, *entry) && seen.insert(*n).second) numbers.push_back(*n);
  }
  ::closedir(dir);
  return numbers;
}

int32_t OfflineAuction::createId() {
  int32_t highest = 0;
  for (int32_t n : listNumbers()) highest = std::max(highest, n);
  return static_cast<int32_t>(static_cast<uint32_t>(highest) + 1u);
}

std::vector<int32_t> OfflineAuction::getAuctionIds() { return listNumbers(); }

std::unique_ptr<OfflineAuction> OfflineAuction::load(int32_t id) {
  platform::Properties record;
  {
    platform::BufferedInputStream in(GlobalConfig::createFileInputStream(recordPath(id)), 65536);
    try {
      record.load(in);
    } catch (...) {
      in.close();
      throw;
    }
    in.close();
  }
  std::unique_ptr<OfflineAuction> auction(new OfflineAuction());
  auction->id_ = requiredNumber(record, "id");
  auction->xmlContent_ = record.getProperty("xmlContent").value_or("");
  auction->state_ = requiredNumber(record, "state");
  return auction;
}

void OfflineAuction::save() {
  std::lock_guard<std::mutex> saving(saveMutex_);
  writeFile();
}

void OfflineAuction::saveXmlContent(std::string xmlContent) {
  std::lock_guard<std::mutex> saving(saveMutex_);
  setXmlContent(std::move(xmlContent));
  writeFile();
}

bool OfflineAuction::markSubmitted(const std::string& uploadedXml) {
  std::lock_guard<std::mutex> saving(saveMutex_);
  platform::Properties record;
  int32_t id;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (removed_ || xmlContent_ != uploadedXml) return false;
    id = id_;
    record = entries(common::Auction::AUCTION_STATE_SUBMITTED);
  }
  writeFile(id, record);
  setState(common::Auction::AUCTION_STATE_SUBMITTED);
  return true;
}

void OfflineAuction::markRemoved() {
  std::lock_guard<std::mutex> saving(saveMutex_);
  std::lock_guard<std::mutex> guard(mutex_);
  removed_ = true;
}

bool OfflineAuction::isRemoved() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return removed_;
}

platform::Properties OfflineAuction::entries(int32_t state) const {
  platform::Properties record;
  record.setProperty("id", std::to_string(id_));
  record.setProperty("xmlContent", xmlContent_);
  record.setProperty("state", std::to_string(state));
  return record;
}

void OfflineAuction::writeFile() {
  platform::Properties record;
  int32_t id;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    id = id_;
    record = entries(state_);
  }
  writeFile(id, record);
}

void OfflineAuction::writeFile(int32_t id, const platform::Properties& record) {
  // The work file's name no number reads from, and the storage rule treats
  // it like the record file itself.
  platform::FileReplacement replacement(recordPath(id));
  {
    platform::BufferedOutputStream out(GlobalConfig::createFileOutputStream(replacement.workPath()));
    try {
      record.store(out, std::string());
    } catch (...) {
      out.close();
      throw;
    }
    out.close();
  }
  replacement.commit();
}

void OfflineAuction::removeWorkFiles() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(getAuctionPath(), error)) {
    if (!platform::FileReplacement::isNumberedWorkName(entry.path().filename().string())) continue;
    std::error_code ignored;
    std::filesystem::remove(entry.path(), ignored);
  }
}

void OfflineAuction::remove(int32_t id) { platform::File(recordPath(id)).remove(); }

platform::Date OfflineAuction::getDate(int32_t id) {
  return platform::Date(platform::File(recordPath(id)).lastModified());
}

OfflineAuction::Columns OfflineAuction::readColumns(const std::optional<std::string>& xml) {
  Columns columns;
  if (!xml || xml->empty()) return columns;
  try {
    xml::Document document = xml::SAXReader().read(*xml);
    xml::Element root = document.getRootElement();
    if (!root) throw platform::Exception("no root element found");
    xml::Element item = root.element("auction").element("item");
    columns.title = replaceEuro(required(item.element("Title").element("data"), "text"));
    try {
      columns.category =
          platform::Integers::parseInt(required(item.element("Category").element("data"), "value"));
    } catch (const platform::NumberFormatException&) {
      columns.category = 0;
    }
    std::string bid = required(item.element("MinimumBid").element("data"), "value");
    columns.minimumBidCent = roundToInt(parseDouble(platform::Strings::replace(bid, ",", ".")) * 100);
    columns.type = item.element("Type").element("data").attributeValue("value").value_or("");
    columns.complete = true;
  } catch (const std::exception& e) {
    columns.failure = platform::describe(e);
  }
  return columns;
}

int64_t OfflineAuction::fileDate(int folder) const {
  if (folder == -1) return platform::File(recordPath(getId())).lastModified();
  return platform::File::lastModifiedIn(folder, std::to_string(getId()));
}

void OfflineAuction::apply(const Columns& columns, int folder) {
  title = columns.title;
  category = columns.category;
  minimumBidCent = columns.minimumBidCent;
  type = columns.type;
  date = columns.complete ? fileDate(folder) : 0;
  if (columns.failure) platform::System::err().println(*columns.failure);
}

void OfflineAuction::setFromCollector(const std::optional<std::string>& xml) {
  apply(readColumns(xml));
}

std::shared_ptr<const OfflineAuction::Columns> OfflineAuction::currentColumns() const {
  std::string xml;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (columns_) return columns_;
    xml = xmlContent_;
    generation = generation_;
  }
  auto columns = std::make_shared<const Columns>(readColumns(xml));
  std::lock_guard<std::mutex> guard(mutex_);
  // The XML may have changed while it was read; then these columns are not
  // its columns and are not kept.
  if (generation_ == generation) columns_ = columns;
  return columns;
}

void OfflineAuction::prepareListColumns() const { currentColumns(); }

bool OfflineAuction::listColumnsKnown() const {
  std::lock_guard<std::mutex> guard(mutex_);
  return columns_ != nullptr;
}

std::unique_ptr<OfflineAuction> OfflineAuction::listEntry(int folder) const {
  std::unique_ptr<OfflineAuction> entry(new OfflineAuction());
  {
    std::lock_guard<std::mutex> guard(mutex_);
    entry->id_ = id_;
    entry->state_ = state_;
  }
  entry->apply(*currentColumns(), folder);
  return entry;
}

void OfflineAuction::fillInto(xml::Element& element) const {
  element.addElement("title").setText(title);
  element.addElement("category").setText(std::to_string(category));
  element.addElement("minimumBid").setText(formatAmount(minimumBidCent));
  element.addElement("type").setText(type);
  element.addElement("date").setText(germanDay(date));
}

void OfflineAuction::replacePath(xml::Element& parent, std::string_view name,
                                 std::string_view address) {
  xml::Element child = parent.element(name);
  if (!child) child = parent.addElement(name);
  child.addAttribute("value", address);
}

void OfflineAuction::convertFaPresetPaths(xml::Document& document) {
  xml::Element root = document.getRootElement();
  if (!root) throw platform::Exception("no root element found");
  xml::Element auction = root.element("auction");
  if (!auction) throw platform::Exception("no auction element found");
  xml::Element item = auction.element("item");
  if (!item) throw platform::Exception("no item element found");
  xml::Element presets = item.element("faPresets");
  if (!presets) throw platform::Exception("no faPresets element found");
  replacePath(presets, "templatePath", "http://localhost:17985/flash/templates/");
  replacePath(presets, "componentPath", "http://localhost:17985/flash/components/");
  replacePath(presets, "modulPath", "http://localhost:17985/flash/modules/");
  replacePath(presets, "fontPath", "http://localhost:17985/flash/fonts/");
}

}  // namespace quorvelauction::offline
