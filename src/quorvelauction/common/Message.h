#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace quorvelauction::common {

// The message texts of a domain, from the application folder's "WEB-INF/" +
// domain + "/config/messages.xml": each "message" child of the document
// element gives its "id" attribute the element's own text (untrimmed); a
// later message with the same id wins. "%1" in a text stands for the one
// parameter. Read once per domain; reading failures never reach the caller.
// A file that cannot be read or parsed is read again on the next request.
class Message {
 public:
  Message() = delete;

  // The text, or "" when the domain has no message with this id.
  static std::string get2(const std::string& domain, const std::string& id);
  // get2 with every "%1" replaced by param, taken literally.
  static std::string get(const std::string& domain, const std::string& id, const std::string& param);
  // "error:" + id + ":" + the text.
  static std::string getError(const std::string& domain, const std::string& id);
  static std::string getError(const std::string& domain, const std::string& id, const std::string& param);

 private:
  using Table = std::unordered_map<std::string, std::string>;
  // Locked; a table is never changed once filled.
  static std::shared_ptr<const Table> getStrings(const std::string& domain);

  static inline std::mutex lock_;
  static inline std::unordered_map<std::string, std::shared_ptr<const Table>> domains_;
};

}  // namespace quorvelauction::common
