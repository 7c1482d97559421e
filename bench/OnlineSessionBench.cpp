// SOAP calls per second against the stand-in service on loopback (one TLS connection per
// call) with 1 and 8 client threads, and the latency of one "login" round: two probes, the
// service login and the login cache refresh.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "platform/ByteArrayOutputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/PrintStream.h"
#include "platform/Properties.h"
#include "platform/System.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/Server.h"
#include "quorvelauction/offline/ServerHandler.h"
#include "quorvelauction/offline/SimpleSoap.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

namespace {

using quorvelauction::offline::Server;
using quorvelauction::offline::SimpleSoap;
using testsupport::OnlineService;

OnlineService& service() {
  static OnlineService* instance = [] {
    auto* s = new OnlineService();
    s->answer("echo", OnlineService::SoapAnswer::value("pong"));
    s->answer("login", OnlineService::SoapAnswer::value("S1"));
    s->answer("getUserData", OnlineService::SoapAnswer::value("<user><name>bench</name></user>"));
    Server::trustAll();
    Server::host.set(s->host());
    return s;
  }();
  return *instance;
}

void BM_SoapCall(benchmark::State& state) {
  const std::string host = service().host();
  for (auto _ : state) {
    benchmark::DoNotOptimize(SimpleSoap::soapFunction(host, "echo", {{"sessionId", "S1"}}));
  }
  // The stand-in keeps its records; forget them between runs.
  if (state.thread_index() == 0) service().clearRecords();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SoapCall)->Threads(1)->Threads(8)->UseRealTime();

void BM_LoginRound(benchmark::State& state) {
  service();
  static Server::CryptedStreams files;
  testsupport::TempDir user;
  Server::userPath = user.path();
  Server::programPath = user.path();
  quorvelauction::common::GlobalConfig::setFileStreamFactoryHelper(&files);
  // The round's console lines would drown the figures.
  // Leaked on purpose: a replaced stream stays reachable.
  auto* sink = new platform::ByteArrayOutputStream();
  platform::System::setOut(std::make_shared<platform::PrintStream>(*sink, true));
  Server server;
  Server::Handler handler(server, nullptr);
  server.domain.set("auction_de");
  for (auto _ : state) {
    platform::Properties props;
    props.setProperty("userName", "bench");
    props.setProperty("password", "pw");
    props.setProperty("domain", "auction_de");
    benchmark::DoNotOptimize(handler.onLogin(props));
    sink->reset();
  }
  platform::System::setOut(std::make_shared<platform::PrintStream>(
      platform::FileOutputStream::forDescriptor(1), true));
  service().clearRecords();
}
BENCHMARK(BM_LoginRound)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
