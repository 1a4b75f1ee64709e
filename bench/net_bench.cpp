// Upper layer throughput over loopback TCP: a 32 MB data set through
// PDU_Service::Write / Read, and C-ECHO round trips in one association. Each is
// paired with a raw socket reference doing the same transfer without DICOM.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <thread>
#include <vector>

#include "dicom/dcm_obj.h"
#include "dicom/dimse_command.h"
#include "net/dimse_messages.h"
#include "net/pdu_service.h"

namespace {

constexpr uint32_t kDataSetBytes = 32u << 20;

int UnusedPort() {
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr *>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(probe, reinterpret_cast<sockaddr *>(&address), &size);
  close(probe);
  return ntohs(address.sin_port);
}

// Two ends of one loopback TCP connection made by the toolkit's Socket.
struct LoopbackPair {
  LoopbackPair() {
    std::string port = std::to_string(UnusedPort());
    Socket listener;
    listener.Listen(port);
    std::thread connector([&] { client.Link.dsocket.Connect("127.0.0.1", port); });
    listener.Accept();
    server.Link.dsocket.Attach(listener.TakeConnected());
    connector.join();
    for (PDU_Service *side : {&client, &server}) {
      auto accept = std::make_unique<PresentationContextAccept>();
      accept->PresentationContextID = 1;
      accept->Result = 0;
      accept->SetTransferSyntax("1.2.840.10008.1.2");
      side->AcceptedPresContexts.push_back(accept.get());
      side->assocAC.AddPresentationContextAccept(std::move(accept));
      side->assocAC.UserInfo.SetMaximumLength(16384);
      side->pdata.PresentationContextID = 1;
    }
  }
  PDU_Service client, server;
};

void BM_PDataTransfer32MB(benchmark::State &state) {
  LoopbackPair pair;
  std::vector<uint8_t> pixels(kDataSetBytes - 8, 0x11);
  DcmObj data;
  data.AddBytes(0x7FE0, 0x0010, kDataSetBytes - 8, pixels.data());
  for (auto _ : state) {
    std::thread writer([&] { pair.client.Write(data, 0); });
    DcmObj received;
    if (!pair.server.Read(received))
      state.SkipWithError("read failed");
    writer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kDataSetBytes);
}
BENCHMARK(BM_PDataTransfer32MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// Reference: the same bytes over a plain loopback connection in 16 KB sends.
void BM_RawLoopback32MB(benchmark::State &state) {
  LoopbackPair pair;
  int out = pair.client.Link.dsocket.ConnectedHandle();
  int in = pair.server.Link.dsocket.ConnectedHandle();
  std::vector<uint8_t> bytes(kDataSetBytes, 0x11), received(kDataSetBytes);
  for (auto _ : state) {
    std::thread writer([&] {
      for (size_t sent = 0; sent < bytes.size();)
        sent += static_cast<size_t>(send(out, bytes.data() + sent, 16384, 0));
    });
    for (size_t got = 0; got < received.size();)
      got += static_cast<size_t>(recv(in, received.data() + got, received.size() - got, 0));
    writer.join();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kDataSetBytes);
}
BENCHMARK(BM_RawLoopback32MB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_EchoRoundTrip(benchmark::State &state) {
  LoopbackPair pair;
  std::thread responder([&] {
    while (true) {
      DcmObj request;
      if (!pair.server.Read(request) || !CEcho::ReadRQ(request))
        return;
      CEcho::WriteRSP(pair.server, request);
    }
  });
  uint16_t id = 0;
  for (auto _ : state) {
    CommandFields fields;
    fields.AffectedSOPClassUID = "1.2.840.10008.1.1";
    fields.CommandField = dimse::C_ECHO_RQ;
    fields.MessageID = ++id;
    DcmObj request, response;
    BuildCommandSet(fields, request);
    pair.client.Write(request, 1);
    if (!pair.client.Read(response))
      state.SkipWithError("no response");
  }
  pair.client.Release();
  responder.join();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EchoRoundTrip)->UseRealTime()->MinTime(2);

// Reference: a 80-byte request and a 80-byte answer over a plain loopback connection.
void BM_RawPingPong(benchmark::State &state) {
  LoopbackPair pair;
  int client = pair.client.Link.dsocket.ConnectedHandle();
  int server = pair.server.Link.dsocket.ConnectedHandle();
  std::thread responder([&] {
    char message[80];
    while (recv(server, message, sizeof message, MSG_WAITALL) == sizeof message)
      send(server, message, sizeof message, 0);
  });
  char message[80] = {};
  for (auto _ : state) {
    send(client, message, sizeof message, 0);
    recv(client, message, sizeof message, MSG_WAITALL);
  }
  shutdown(client, SHUT_WR);
  responder.join();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawPingPong)->UseRealTime()->MinTime(2);

} // namespace
