#include "quorvelauction/common/Message.h"

#include "platform/Strings.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/XMLUtils.h"

namespace quorvelauction::common {

std::shared_ptr<const Message::Table> Message::getStrings(const std::string& domain) {
  std::string path = GlobalConfig::getPath() + "WEB-INF/" + domain + "/config/messages.xml";
  std::lock_guard<std::mutex> guard(lock_);
  auto it = domains_.find(domain);
  if (it != domains_.end()) return it->second;
  auto table = std::make_shared<Table>();
  xml::Element root = XMLUtils::fileToDoc(path).getRootElement();
  if (!root) return table;  // unreadable or malformed: try again next time
  for (const xml::Element& message : root.elements("message")) {
    if (message.getQualifiedName() != "message") continue;
    std::optional<std::string> id = message.attributeValue("id");
    if (id) (*table)[*id] = message.getText();
  }
  domains_[domain] = table;
  return table;
}

std::string Message::get2(const std::string& domain, const std::string& id) {
  std::shared_ptr<const Table> table = getStrings(domain);
  auto it = table->find(id);
  return it == table->end() ? std::string() : it->second;
}

std::string Message::get(const std::string& domain, const std::string& id, const std::string& param) {
  return platform::Strings::replace(get2(domain, id), "%1", param);
}

std::string Message::getError(const std::string& domain, const std::string& id) {
  return "error:" + id + ":" + get2(domain, id);
}

std::string Message::getError(const std::string& domain, const std::string& id, const std::string& param) {
  return "error:" + id + ":" + get(domain, id, param);
}

}  // namespace quorvelauction::common
