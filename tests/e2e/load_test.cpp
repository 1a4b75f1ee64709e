// Load and soak: parallel SCUs with mixed jobs (JPEG, PDF and DICOM films,
// C-ECHO, N-GET) and bursts of short associations against one corvanel-server.
// Every request is answered with success, every film is complete and distinct,
// threads and handles return to their baseline once the delayed closes have
// run, and resident memory stays flat after the warm-up.
//
// CI runs a short version. The soak (make soak) sets the environment:
//   CORVANEL_SOAK_SECONDS (default 10), CORVANEL_SOAK_CLIENTS (default 8),
//   CORVANEL_SOAK_BURST (short associations per burst, default 200).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "print_support.h"
#include "process_status.h"
#include "raw_peer.h"

using namespace raw_peer;
using namespace testing_support;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

int Setting(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && std::atoi(value) > 0 ? std::atoi(value) : fallback;
}

// Empty when the association was accepted, else what came instead.
std::string AssociateOrWhy(Peer& peer, const std::string& calledAE) {
  if (!peer.Connected())
    return "no connection";
  const Outcome answer = peer.RequestAssociation(calledAE, "LOAD");
  return answer.kind == "A-ASSOCIATE-AC" ? "" : "association answered " + answer.Text();
}

// One film whose pixels carry the job's number, so that every film differs.
// Empty when every step succeeded, else the step that failed and its outcome.
std::string PrintJob(int port, const std::string& calledAE, uint32_t job) {
  Peer peer(port);
  peer.SetResponseTimeout(60000);
  if (const std::string why = AssociateOrWhy(peer, calledAE); !why.empty())
    return calledAE + ": " + why;
  const std::string session = peer.CreateSession();
  const std::vector<std::string> boxes = peer.CreateFilmBox(session, "STANDARD\\1,1");
  if (boxes.size() != 1)
    return calledAE + ": film box not created";
  ByteString pixels(64 * 64);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(i / 64 < 32 ? (job >> ((i % 64) / 8 * 4)) * 17 : i);
  if (const Outcome set = peer.SetImageBox(boxes[0], GreyImage(64, 64, 8, pixels)); set.Text() != "0x0000")
    return calledAE + ": N-SET " + set.Text();
  if (const Outcome print = peer.PrintSession(session); print.Text() != "0x0000")
    return calledAE + ": N-ACTION " + print.Text();
  if (const Outcome deleted = peer.Delete(kFilmSessionUID, session); deleted.Text() != "0x0000")
    return calledAE + ": N-DELETE " + deleted.Text();
  if (const Outcome release = peer.Release(); release.kind != "A-RELEASE-RP")
    return calledAE + ": release " + release.Text();
  return {};
}

std::string EchoAndGet(int port) {
  Peer peer(port);
  if (const std::string why = AssociateOrWhy(peer, "PDF"); !why.empty())
    return "echo: " + why;
  if (const Outcome echo = peer.Echo(); echo.Text() != "0x0000")
    return "echo: " + echo.Text();
  CommandSet get;
  get.field = 0x0110;
  get.requestedClass = "1.2.840.10008.5.1.1.16";
  get.requestedInstance = "1.2.840.10008.5.1.1.17";
  if (const Outcome answer = peer.Request(get); answer.Text() != "0x0000")
    return "N-GET: " + answer.Text();
  if (const Outcome release = peer.Release(); release.kind != "A-RELEASE-RP")
    return "echo release: " + release.Text();
  return {};
}

std::set<std::string> Contents(const std::vector<fs::path>& files) {
  std::set<std::string> contents;
  for (const fs::path& file : files)
    contents.insert(ReadFile(file));
  return contents;
}

} // namespace

TEST(Load, MixedJobsAndBurstsOfShortAssociations) {
  const int seconds = Setting("CORVANEL_SOAK_SECONDS", 10);
  const int clients = Setting("CORVANEL_SOAK_CLIENTS", 8);
  const int burst = Setting("CORVANEL_SOAK_BURST", 200);
  PrintServer server({.settings = "LogLevel=0\n"});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  std::this_thread::sleep_for(300ms);
  const ProcessStatus before = StatusOf(server.Pid());

  std::atomic<uint32_t> nextJob{1};
  std::atomic<int> failed{0}, jpeg{0}, pdf{0}, dicom{0}, echoes{0}, associations{0};
  std::atomic<long> peakKB{0};
  std::mutex failuresMutex;
  std::vector<std::string> failures; // the first few, for the report
  const auto noteFailure = [&](const std::string& failure) {
    ++failed;
    std::lock_guard lock(failuresMutex);
    if (failures.size() < 20)
      failures.push_back(failure);
  };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::vector<std::thread> threads;
  for (int client = 0; client < clients; ++client)
    threads.emplace_back([&, client] {
      for (int round = client; std::chrono::steady_clock::now() < end; ++round) {
        const uint32_t job = nextJob++;
        static const char* const kCalled[] = {"JPG", "PDF", "STORE"};
        std::atomic<int>* const kCounts[] = {&jpeg, &pdf, &dicom, &echoes};
        const int kind = round % 4;
        const std::string failure = kind < 3 ? PrintJob(server.port, kCalled[kind], job)
                                             : EchoAndGet(server.port);
        ++*kCounts[kind];
        ++associations;
        if (!failure.empty())
          noteFailure(failure);
      }
    });
  // Bursts of short associations, and the resident memory once a second.
  std::vector<long> residentKB;
  for (auto next = std::chrono::steady_clock::now(); next < end; next += 1s) {
    std::this_thread::sleep_until(next);
    const ProcessStatus now = StatusOf(server.Pid());
    residentKB.push_back(now.residentKB);
    peakKB = std::max(peakKB.load(), now.residentKB);
    if (residentKB.size() % 5 == 0)
      for (int i = 0; i < burst; ++i) {
        Peer peer(server.port);
        if (const std::string why = AssociateOrWhy(peer, "PDF"); !why.empty())
          noteFailure("burst: " + why);
        else if (const Outcome release = peer.Release(); release.kind != "A-RELEASE-RP")
          noteFailure("burst: release " + release.Text());
        ++associations;
      }
  }
  for (std::thread& thread : threads)
    thread.join();
  std::this_thread::sleep_for(6500ms); // the delayed closes
  const ProcessStatus after = StatusOf(server.Pid());

  std::printf("load: %d s, %d clients: %d JPEG, %d PDF, %d DICOM films, %d echo+N-GET, %d "
              "associations, %d failed; peak resident %ld KB; threads %d -> %d, handles %d -> %d\n",
              seconds, clients, jpeg.load(), pdf.load(), dicom.load(), echoes.load(),
              associations.load(), failed.load(), peakKB.load(), before.threads, after.threads,
              before.handles, after.handles);
  std::string failureList;
  for (const std::string& failure : failures)
    failureList += failure + "\n";
  EXPECT_EQ(failed.load(), 0) << failureList << server.Log().substr(0, 20000);
  const std::vector<fs::path> jpegFiles = server.Files("filmbox/JPEG");
  const std::vector<fs::path> pdfFiles = server.Files("filmbox/PDF");
  EXPECT_EQ(jpegFiles.size(), static_cast<size_t>(jpeg.load()));
  EXPECT_EQ(pdfFiles.size(), static_cast<size_t>(pdf.load()));
  EXPECT_EQ(Contents(jpegFiles).size(), jpegFiles.size());
  EXPECT_EQ(Contents(pdfFiles).size(), pdfFiles.size());
  EXPECT_EQ(server.Folders("imagebox").size(), static_cast<size_t>(dicom.load()));
  EXPECT_LE(after.threads, before.threads);
  EXPECT_LE(after.handles, before.handles);
  // Flat after the warm-up (the first third): the last third within 10 %, plus
  // the few megabytes that the allocator's per-thread arenas take in a short run.
  const size_t third = residentKB.size() / 3;
  if (kResidentMemoryTells && third > 0) {
    const long warmPeak = *std::max_element(residentKB.begin(), residentKB.begin() + third);
    const long latePeak = *std::max_element(residentKB.end() - third, residentKB.end());
    EXPECT_LE(latePeak, warmPeak * 11 / 10 + 6 * 1024) << warmPeak;
  }
}
