#include "quorvelauction/common/CommonSOAPFunctions.h"

namespace quorvelauction::common {

CommonSOAPFunctions::CommonSOAPFunctions(UserWrapper& user) : user(user) {}

}  // namespace quorvelauction::common
