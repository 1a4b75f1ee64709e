// Associations per second (associate, C-ECHO, release) from 1 and from 20
// parallel clients, and C-ECHO round trips per second in one association, for
// the print server's front and, as the reference, DCMTK's storescp, with the
// same requestor in the same run.
//   build/bench/association_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <memory>

#include "association_client.h"
#include "frame/configuration.h"
#include "frame/event_log.h"
#include "print/listener.h"
#include "support/test_support.h"

using namespace testing_support;

namespace {

const ProposedContext kVerification{"1.2.840.10008.1.1", {"1.2.840.10008.1.2"}};

// The two acceptors, started once for the whole run.
struct Acceptors {
  Acceptors() {
    RaiseOpenFileLimit();
    SetLogTarget((logDir.path() / "bench_corvanel.txt").string(), "", "");
    LogLevel = 0;
    ReplaceConfiguration(PrintConfiguration{});
    corvanel = std::make_unique<ServerThread>(std::to_string(corvanelPort));
    corvanel->Start();
    dcmtk = std::make_unique<ChildProcess>(
        std::vector<std::string>{"storescp", std::to_string(dcmtkPort)});
    WaitForPort(corvanelPort);
    WaitForPort(dcmtkPort);
  }
  TempDir logDir;
  const int corvanelPort = FreePort();
  const int dcmtkPort = FreePort();
  std::unique_ptr<ServerThread> corvanel;
  std::unique_ptr<ChildProcess> dcmtk;
};

Acceptors& Peers() {
  static Acceptors acceptors;
  return acceptors;
}

int PortOf(const benchmark::State& state) {
  return state.range(0) == 0 ? Peers().corvanelPort : Peers().dcmtkPort;
}

void Associations(benchmark::State& state) {
  const int port = PortOf(state);
  for (auto _ : state) {
    PDU_Service pdu;
    if (!Associate(pdu, port, {kVerification}) || !Echo(pdu)) {
      state.SkipWithError("association failed");
      break;
    }
    pdu.Release();
  }
  state.SetItemsProcessed(state.iterations());
}

void EchoRoundTrips(benchmark::State& state) {
  PDU_Service pdu;
  if (!Associate(pdu, PortOf(state), {kVerification})) {
    state.SkipWithError("association failed");
    return;
  }
  uint16_t messageID = 1;
  for (auto _ : state)
    if (!Echo(pdu, messageID += 2)) {
      state.SkipWithError("echo failed");
      break;
    }
  state.SetItemsProcessed(state.iterations());
  pdu.Release();
}

// Argument 0: Corvanel, 1: DCMTK storescp.
BENCHMARK(Associations)->ArgName("dcmtk")->Arg(0)->Arg(1)->Threads(1)->Threads(20)->UseRealTime();
BENCHMARK(EchoRoundTrips)->ArgName("dcmtk")->Arg(0)->Arg(1)->UseRealTime();

} // namespace
