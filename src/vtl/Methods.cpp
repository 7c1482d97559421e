#include "vtl/Methods.h"

#include <algorithm>
#include <cctype>
#include <cwctype>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Regex.h"
#include "platform/Strings.h"
#include "vtl/CharacterObject.h"
#include "vtl/ClassObject.h"
#include "vtl/IteratorObject.h"

namespace vtl {

namespace {

using platform::Strings;

// A text seen as Java sees it: a run of UTF-16 code units.
class Units {
 public:
  explicit Units(const std::string& s) : utf8_(s), ascii_(Strings::isAscii(s)) {
    if (!ascii_) utf16_ = Strings::toUtf16(s);
  }
  int32_t length() const {
    return static_cast<int32_t>(ascii_ ? utf8_.size() : utf16_.size());
  }
  char16_t at(int32_t i) const {
    return ascii_ ? static_cast<char16_t>(static_cast<unsigned char>(utf8_[i])) : utf16_[i];
  }
  std::string slice(int32_t begin, int32_t end) const {
    if (ascii_) return utf8_.substr(begin, end - begin);
    return Strings::fromUtf16(std::u16string_view(utf16_).substr(begin, end - begin));
  }
  const std::u16string& utf16() {
    if (ascii_ && utf16_.empty() && !utf8_.empty()) utf16_ = Strings::toUtf16(utf8_);
    return utf16_;
  }

 private:
  const std::string& utf8_;
  bool ascii_;
  std::u16string utf16_;
};

[[noreturn]] void outOfRange(int64_t index) {
  throw platform::IndexOutOfBoundsException("String index out of range: " + std::to_string(index));
}

// The text argument of a method that takes a String; null fails as Java's
// methods fail on null.
const std::string* textArg(std::span<const Value> args, size_t i) {
  if (args[i].isNull()) throw platform::NullPointerException("null");
  return args[i].isString() ? &args[i].asString() : nullptr;
}

int32_t indexOf(Units& hay, const std::u16string& needle, int32_t from) {
  const std::u16string& h = hay.utf16();
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) > h.size()) return needle.empty() ? static_cast<int32_t>(h.size()) : -1;
  size_t found = h.find(needle, from);
  return found == std::u16string::npos ? -1 : static_cast<int32_t>(found);
}

int32_t lastIndexOf(Units& hay, const std::u16string& needle, int32_t from) {
  const std::u16string& h = hay.utf16();
  if (from < 0) return -1;
  size_t found = h.rfind(needle, static_cast<size_t>(from));
  return found == std::u16string::npos ? -1 : static_cast<int32_t>(found);
}

// The needle of indexOf/lastIndexOf: a text, or an integer naming a code point.
bool needleArg(const Value& arg, std::u16string& needle) {
  if (arg.isNull()) throw platform::NullPointerException("null");
  if (arg.isString()) {
    needle = Strings::toUtf16(arg.asString());
    return true;
  }
  if (arg.isInt()) {
    int32_t cp = arg.asInt();
    if (cp < 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      needle.clear();  // no text holds it
      return true;
    }
    needle = Strings::toUtf16(Strings::fromCodePoint(static_cast<char32_t>(cp)));
    return true;
  }
  return false;
}

std::string javaReplace(const std::string& text, const std::string& target,
                        const std::string& replacement) {
  if (!target.empty()) return Strings::replace(text, target, replacement);
  // An empty target stands between every two code units and at both ends.
  std::u16string units = Strings::toUtf16(text);
  std::u16string with = Strings::toUtf16(replacement);
  std::u16string out = with;
  for (char16_t u : units) {
    out += u;
    out += with;
  }
  return Strings::fromUtf16(out);
}

Value makeArray(std::vector<std::string> pieces) {
  auto list = std::make_shared<List>();
  list->arrayClass = "[Ljava.lang.String;";
  list->items.reserve(pieces.size());
  for (std::string& piece : pieces) list->items.emplace_back(std::move(piece));
  return Value(std::move(list));
}

Value bytesOf(const std::string& s) {
  auto list = std::make_shared<List>();
  list->arrayClass = "[B";
  for (char c : s) list->items.emplace_back(static_cast<int32_t>(static_cast<signed char>(c)));
  return Value(std::move(list));
}

// Java's String.hashCode: over the UTF-16 units, wrapping.
int32_t hashOf(const std::string& s) {
  Units units(s);
  uint32_t hash = 0;
  for (int32_t i = 0; i < units.length(); ++i) hash = hash * 31 + units.at(i);
  return static_cast<int32_t>(hash);
}

char16_t foldCase(char16_t c) {
  if (c < 0x80) return static_cast<char16_t>(std::tolower(std::toupper(c)));
  return static_cast<char16_t>(std::towlower(std::towupper(c)));
}

int32_t compareIgnoringCase(const std::string& a, const std::string& b) {
  Units x(a);
  Units y(b);
  int32_t n = std::min(x.length(), y.length());
  for (int32_t i = 0; i < n; ++i) {
    char16_t c = foldCase(x.at(i));
    char16_t d = foldCase(y.at(i));
    if (c != d) return static_cast<int32_t>(c) - static_cast<int32_t>(d);
  }
  return x.length() - y.length();
}

int32_t codePointAt(const std::string& s, int32_t i) {
  Units units(s);
  if (i < 0 || i >= units.length()) outOfRange(i);
  char16_t high = units.at(i);
  if (high >= 0xD800 && high <= 0xDBFF && i + 1 < units.length()) {
    char16_t low = units.at(i + 1);
    if (low >= 0xDC00 && low <= 0xDFFF) return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
  }
  return high;
}

bool startsWithAt(const std::string& s, const std::string& prefix, int32_t offset) {
  Units units(s);
  Units head(prefix);
  if (offset < 0 || offset > units.length() - head.length()) return false;
  for (int32_t i = 0; i < head.length(); ++i) {
    if (units.at(offset + i) != head.at(i)) return false;
  }
  return true;
}

Value charsOf(const std::string& s) {
  Units units(s);
  auto list = std::make_shared<List>();
  list->arrayClass = "[C";
  for (int32_t i = 0; i < units.length(); ++i) {
    list->items.emplace_back(std::make_shared<CharacterObject>(units.at(i)));
  }
  return Value(std::move(list));
}

bool stringMethod(const std::string& s, std::string_view name, std::span<const Value> args,
                  Value& result) {
  size_t argc = args.size();
  auto intArg = [&](size_t i) { return args[i].isInt(); };
  if (argc == 0) {
    if (name == "hashCode") {
      result = Value(hashOf(s));
    } else if (name == "isEmpty") {
      result = Value(s.empty());
    } else if (name == "toCharArray") {
      result = charsOf(s);
    } else if (name == "length") {
      result = Value(static_cast<int32_t>(Strings::utf16Length(s)));
    } else if (name == "toUpperCase") {
      result = Value(Strings::toUpperCase(s));
    } else if (name == "toLowerCase") {
      result = Value(Strings::toLowerCase(s));
    } else if (name == "trim") {
      result = Value(Strings::trim(s));
    } else if (name == "getBytes") {
      result = bytesOf(s);
    } else {
      return false;
    }
    return true;
  }
  if (name == "substring" && argc <= 2 && intArg(0) && (argc == 1 || intArg(1))) {
    Units units(s);
    int32_t begin = args[0].asInt();
    int32_t end = argc == 2 ? args[1].asInt() : units.length();
    if (begin < 0) outOfRange(begin);
    if (end > units.length()) outOfRange(end);
    if (begin > end) outOfRange(end - begin);
    result = Value(units.slice(begin, end));
    return true;
  }
  if ((name == "indexOf" || name == "lastIndexOf") && argc <= 2 && (argc == 1 || intArg(1))) {
    std::u16string needle;
    if (!needleArg(args[0], needle)) return false;
    Units units(s);
    if (needle.empty() && args[0].isInt()) {
      result = Value(-1);
    } else if (name == "indexOf") {
      result = Value(indexOf(units, needle, argc == 2 ? args[1].asInt() : 0));
    } else {
      result = Value(lastIndexOf(units, needle, argc == 2 ? args[1].asInt() : units.length()));
    }
    return true;
  }
  if (name == "codePointAt" && argc == 1 && intArg(0)) {
    result = Value(codePointAt(s, args[0].asInt()));
    return true;
  }
  if (name == "startsWith" && argc == 2 && intArg(1)) {
    const std::string* prefix = textArg(args, 0);
    if (!prefix) return false;
    result = Value(startsWithAt(s, *prefix, args[1].asInt()));
    return true;
  }
  if ((name == "contains" || name == "compareToIgnoreCase") && argc == 1) {
    const std::string* arg = textArg(args, 0);
    if (!arg) return false;
    if (name == "contains") {
      result = Value(s.find(*arg) != std::string::npos);
    } else {
      result = Value(compareIgnoringCase(s, *arg));
    }
    return true;
  }
  if (name == "charAt" && argc == 1 && intArg(0)) {
    Units units(s);
    int32_t i = args[0].asInt();
    if (i < 0 || i >= units.length()) outOfRange(i);
    result = Value(std::make_shared<CharacterObject>(units.at(i)));
    return true;
  }
  if (name == "equalsIgnoreCase" && argc == 1) {
    if (args[0].isNull()) {
      result = Value(false);
      return true;
    }
    if (!args[0].isString()) return false;
    result = Value(Strings::equalsIgnoreCase(s, args[0].asString()));
    return true;
  }
  if ((name == "startsWith" || name == "endsWith" || name == "concat" || name == "matches" ||
       name == "compareTo") &&
      argc == 1) {
    const std::string* arg = textArg(args, 0);
    if (!arg) return false;
    if (name == "startsWith") {
      result = Value(Strings::startsWith(s, *arg));
    } else if (name == "endsWith") {
      result = Value(Strings::endsWith(s, *arg));
    } else if (name == "concat") {
      result = Value(s + *arg);
    } else if (name == "matches") {
      result = Value(platform::Regex::matches(*arg, s));
    } else {
      result = Value(static_cast<int32_t>(Strings::compareTo(s, *arg)));
    }
    return true;
  }
  if ((name == "replace" || name == "replaceAll" || name == "replaceFirst") && argc == 2) {
    const std::string* a = textArg(args, 0);
    const std::string* b = textArg(args, 1);
    if (!a || !b) return false;
    if (name == "replace") {
      result = Value(javaReplace(s, *a, *b));
    } else if (name == "replaceAll") {
      result = Value(platform::Regex::replaceAll(s, *a, *b));
    } else {
      result = Value(platform::Regex::replaceFirst(s, *a, *b));
    }
    return true;
  }
  if (name == "split" && argc <= 2 && (argc == 1 || intArg(1))) {
    const std::string* regex = textArg(args, 0);
    if (!regex) return false;
    result = makeArray(platform::Regex::split(s, *regex, argc == 2 ? args[1].asInt() : 0));
    return true;
  }
  return false;
}

bool intMethod(int32_t i, std::string_view name, std::span<const Value> args, Value& result) {
  if (args.empty()) {
    if (name == "intValue" || name == "longValue" || name == "hashCode") {
      result = Value(i);
    } else if (name == "doubleValue") {
      result = Value(std::to_string(i) + ".0");
    } else {
      return false;
    }
    return true;
  }
  if (name == "compareTo" && args.size() == 1) {
    if (args[0].isNull()) throw platform::NullPointerException("null");
    if (!args[0].isInt()) return false;
    int32_t other = args[0].asInt();
    result = Value(i < other ? -1 : (i == other ? 0 : 1));
    return true;
  }
  return false;
}

bool boolMethod(bool b, std::string_view name, std::span<const Value> args, Value& result) {
  if (!args.empty()) return false;
  if (name == "booleanValue") {
    result = Value(b);
  } else if (name == "hashCode") {
    result = Value(b ? 1231 : 1237);
  } else {
    return false;
  }
  return true;
}

int32_t indexIn(const List& list, const Value& item) {
  for (size_t i = 0; i < list.items.size(); ++i) {
    if (list.items[i].equals(item)) return static_cast<int32_t>(i);
  }
  return -1;
}

Value subList(const List& list, const Value& from, const Value& to) {
  int32_t begin = from.asInt();
  int32_t end = to.asInt();
  int32_t size = static_cast<int32_t>(list.items.size());
  if (begin < 0) throw platform::IndexOutOfBoundsException("fromIndex = " + std::to_string(begin));
  if (end > size) throw platform::IndexOutOfBoundsException("toIndex = " + std::to_string(end));
  if (begin > end) {
    throw platform::IllegalArgumentException("fromIndex(" + std::to_string(begin) +
                                             ") > toIndex(" + std::to_string(end) + ")");
  }
  // A copy, not a view: templates see the same items.
  auto part = std::make_shared<List>();
  part->items.assign(list.items.begin() + begin, list.items.begin() + end);
  return Value(std::move(part));
}

// An index of a list's item, checked as the list checks it.
void checkIndex(const List& list, int32_t i) {
  if (i < 0 || static_cast<size_t>(i) >= list.items.size()) {
    throw platform::IndexOutOfBoundsException("Index " + std::to_string(i) + " out of bounds for length " +
                                              std::to_string(list.items.size()));
  }
}

bool containsAll(const List& list, const List& other) {
  return std::all_of(other.items.begin(), other.items.end(),
                     [&](const Value& item) { return indexIn(list, item) >= 0; });
}

// The methods that change the list. Those without a result of their own
// (add at an index, clear) answer an empty text, as methods without a value
// render nothing.
bool listChange(List& list, std::string_view name, std::span<const Value> args, Value& result) {
  size_t argc = args.size();
  if (name == "clear" && argc == 0) {
    list.items.clear();
    result = Value(std::string());
  } else if (name == "add" && argc == 1) {
    list.items.push_back(args[0]);
    result = Value(true);
  } else if (name == "add" && argc == 2 && args[0].isInt()) {
    int32_t i = args[0].asInt();
    if (i < 0 || static_cast<size_t>(i) > list.items.size()) {
      throw platform::IndexOutOfBoundsException("Index: " + std::to_string(i) +
                                                ", Size: " + std::to_string(list.items.size()));
    }
    list.items.insert(list.items.begin() + i, args[1]);
    result = Value(std::string());
  } else if (name == "addAll" && argc == 1 && args[0].isList()) {
    // A copy first: the list may be added to itself.
    std::vector<Value> added = args[0].asList()->items;
    list.items.insert(list.items.end(), added.begin(), added.end());
    result = Value(!added.empty());
  } else if (name == "set" && argc == 2 && args[0].isInt()) {
    checkIndex(list, args[0].asInt());
    Value& slot = list.items[args[0].asInt()];
    Value previous = std::exchange(slot, args[1]);
    result = std::move(previous);
  } else if (name == "remove" && argc == 1 && args[0].isInt()) {
    checkIndex(list, args[0].asInt());
    auto at = list.items.begin() + args[0].asInt();
    result = std::move(*at);
    list.items.erase(at);
  } else if (name == "remove" && argc == 1) {
    int32_t i = indexIn(list, args[0]);
    if (i >= 0) list.items.erase(list.items.begin() + i);
    result = Value(i >= 0);
  } else {
    return false;
  }
  return true;
}

bool listQuery(const std::shared_ptr<List>& self, std::string_view name, std::span<const Value> args,
               Value& result) {
  const List& list = *self;
  size_t argc = args.size();
  if (argc == 0 && name == "size") {
    result = Value(static_cast<int32_t>(list.items.size()));
  } else if (argc == 0 && name == "isEmpty") {
    result = Value(list.items.empty());
  } else if (argc == 0 && name == "iterator") {
    result = Value(std::make_shared<IteratorObject>(self));
  } else if (name == "subList" && argc == 2 && args[0].isInt() && args[1].isInt()) {
    result = subList(list, args[0], args[1]);
  } else if (name == "indexOf" && argc == 1) {
    result = Value(indexIn(list, args[0]));
  } else if (name == "lastIndexOf" && argc == 1) {
    int32_t i = static_cast<int32_t>(list.items.size()) - 1;
    while (i >= 0 && !list.items[i].equals(args[0])) --i;
    result = Value(i);
  } else if (name == "get" && argc == 1 && args[0].isInt()) {
    int32_t i = args[0].asInt();
    if (i < 0 || static_cast<size_t>(i) >= list.items.size()) {
      throw platform::IndexOutOfBoundsException("Index: " + std::to_string(i) +
                                                ", Size: " + std::to_string(list.items.size()));
    }
    result = list.items[i];
  } else if (name == "contains" && argc == 1) {
    result = Value(indexIn(list, args[0]) >= 0);
  } else if (name == "containsAll" && argc == 1 && args[0].isList()) {
    result = Value(containsAll(list, *args[0].asList()));
  } else {
    return false;
  }
  return true;
}

bool listMethod(const std::shared_ptr<List>& self, std::string_view name, std::span<const Value> args,
                Value& result) {
  // Arrays have no methods of their own.
  if (self->isArray()) return false;
  return listQuery(self, name, args, result) || listChange(*self, name, args, result);
}

// What every value answers.
bool commonMethod(const Value& target, std::string_view name, std::span<const Value> args,
                  Value& result) {
  if (args.empty()) {
    if (name == "getClass") {
      result = Value(std::make_shared<ClassObject>(target.className()));
      return true;
    }
    if (name == "toString") {
      result = Value(target.toString());
      return true;
    }
    return false;
  }
  if (name == "equals" && args.size() == 1) {
    result = Value(target.equals(args[0]));
    return true;
  }
  return false;
}

}  // namespace

bool Methods::invoke(const Value& target, std::string_view name, std::span<const Value> args,
                     Value& result) {
  result = Value();
  bool found = false;
  switch (target.kind()) {
    case Value::Kind::kNull:
      return false;
    case Value::Kind::kString:
      found = stringMethod(target.asString(), name, args, result);
      break;
    case Value::Kind::kInt:
      found = intMethod(target.asInt(), name, args, result);
      break;
    case Value::Kind::kBool:
      found = boolMethod(target.asBool(), name, args, result);
      break;
    case Value::Kind::kList:
      found = listMethod(target.asList(), name, args, result);
      break;
    case Value::Kind::kObject:
      found = target.asObject()->invoke(name, args, result);
      break;
  }
  return found || commonMethod(target, name, args, result);
}

}  // namespace vtl
