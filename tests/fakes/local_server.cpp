// The loopback server as the tests start it: "fake_local_server <port>
// [argument]" in the installation folder. A test process hands over what it
// set in its own copy of the server's state before the start:
//   QA_SERVER_SESSION_ID   the online session id, as after a login
//   QA_SERVICE_TIMEOUTS    "probe,connect,read" in milliseconds
//   QA_BODY_BUDGET         bytes of request bodies held at once

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/ServiceTimeouts.h"

namespace {

using quorvelauction::offline::Server;
using quorvelauction::offline::ServiceTimeouts;

void takeTimeouts(const char* text) {
  std::istringstream in(text);
  std::chrono::milliseconds::rep probe, connect, read;
  char comma1, comma2;
  if (in >> probe >> comma1 >> connect >> comma2 >> read && comma1 == ',' && comma2 == ',') {
    ServiceTimeouts::set(std::chrono::milliseconds(probe), std::chrono::milliseconds(connect),
                         std::chrono::milliseconds(read));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (const char* session = std::getenv("QA_SERVER_SESSION_ID")) Server::serverSessionId.set(session);
  if (const char* timeouts = std::getenv("QA_SERVICE_TIMEOUTS")) takeTimeouts(timeouts);
  if (const char* budget = std::getenv("QA_BODY_BUDGET")) Server::Handler::bodyBudget().setTotal(std::atoll(budget));
  std::vector<std::string> args(argv + 2, argv + argc);
  Server::main(args, std::atoi(argv[1]));
  return 0;
}
