// Faults around a live corvanel-server: an output folder it cannot write, a
// full disk, a file size limit, its log folder removed, a PACS that is down or
// silent, a CUPS spooler that is not running, and a peer that goes away before
// its response. Each film that could not be output gets a failure status and
// its log line, nothing half-written is left under a final name, and the
// server serves on.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <thread>
#include <tuple>

#include "net/socket.h"
#include "print_support.h"
#include "raw_peer.h"

using namespace raw_peer;
using namespace testing_support;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// A 2 x 2 film of noise: a PDF of a few hundred kilobytes.
Outcome PrintNoiseFilm(int port, const std::string& calledAE) {
  Peer peer(port);
  peer.SetResponseTimeout(60000); // beyond the PACS time-out of 30 s
  if (!peer.Associate(calledAE))
    return {"no association"};
  const std::string session = peer.CreateSession();
  const std::vector<std::string> boxes = peer.CreateFilmBox(session, "STANDARD\\2,2");
  uint32_t seed = 12345;
  for (const std::string& box : boxes) {
    ByteString pixels(256 * 256);
    for (uint8_t& p : pixels)
      p = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
    const Outcome set = peer.SetImageBox(box, GreyImage(256, 256, 8, pixels));
    if (set.status != 0)
      return set;
  }
  const Outcome printed = peer.PrintSession(session);
  peer.Release();
  return printed;
}

bool Echoes(int port) {
  Peer peer(port);
  return peer.Associate() && peer.Echo().Text() == "0x0000";
}

// Files under folder that carry a final name (not a hidden temporary one).
std::vector<fs::path> FinalFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file() && it->path().filename().string()[0] != '.')
      files.push_back(it->path());
  return files;
}

std::vector<fs::path> AllFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file())
      files.push_back(it->path());
  return files;
}

// A small tmpfs mounted on a folder for as long as it lives.
class SmallTmpfs {
public:
  SmallTmpfs(const fs::path& at, const std::string& size) : at_(at) {
    fs::create_directories(at);
    mounted_ = mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
  }
  ~SmallTmpfs() {
    if (mounted_)
      umount2(at_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

private:
  fs::path at_;
  bool mounted_ = false;
};

// Fills the file system of folder with one file until it is full.
void FillUp(const fs::path& file) {
  std::ofstream out(file, std::ios::binary);
  const std::string block(64 * 1024, 'x');
  while (out.write(block.data(), block.size()))
    ;
}

} // namespace

TEST(Faults, OutputFolderThatCannotBeCreated) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  fs::create_directories(server.Home() / "filmbox");
  WriteFile(server.Home() / "filmbox" / "PDF", "a file where the folder should be");
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0213");
  EXPECT_TRUE(server.WaitForLog("ERROR: Print Film Session: 531")) << server.Log();
  EXPECT_TRUE(Echoes(server.port));
  fs::remove(server.Home() / "filmbox" / "PDF");
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0000") << server.Log();
  EXPECT_EQ(server.Files("filmbox/PDF").size(), 1u);
}

TEST(Faults, FullDiskUnderTheFilmFolder) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  SmallTmpfs disk(server.Home() / "filmbox", "2m");
  if (!disk.Mounted())
    GTEST_SKIP() << "no tmpfs can be mounted here: " << std::strerror(errno);
  fs::create_directories(server.Home() / "filmbox" / "PDF");
  FillUp(server.Home() / "filmbox" / "filler");
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0213");
  EXPECT_TRUE(server.WaitForLog("No space left on device")) << server.Log();
  // Nothing under a final name, and no temporary file left behind.
  EXPECT_TRUE(AllFiles(server.Home() / "filmbox" / "PDF").empty());
  EXPECT_TRUE(Echoes(server.port));
  fs::remove(server.Home() / "filmbox" / "filler");
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0000") << server.Log();
  EXPECT_EQ(FinalFiles(server.Home() / "filmbox" / "PDF").size(), 1u);
}

TEST(Faults, FileSizeLimitOfTheServiceManager) {
  // As a unit's LimitFSIZE= sets it: a film above the limit cannot be written.
  PrintServer server({.launcher = {"prlimit", "--fsize=65536"}});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0213");
  EXPECT_TRUE(server.WaitForLog("File too large")) << server.Log();
  EXPECT_TRUE(AllFiles(server.Home() / "filmbox" / "PDF").empty());
  EXPECT_TRUE(Echoes(server.port)) << server.Log();
}

TEST(Faults, LogFolderRemovedWhileRunning) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  ASSERT_TRUE(fs::exists(server.Home() / "logs"));
  // Each log line opens its file anew, so a line written while remove_all walks
  // the folder would make its last rmdir fail; moving the folder away is atomic.
  fs::rename(server.Home() / "logs", server.Home() / "logs.removed");
  fs::remove_all(server.Home() / "logs.removed");
  // The lines still reach the echo; the films are still made.
  EXPECT_EQ(PrintNoiseFilm(server.port, "PDF").Text(), "0x0000") << server.Log();
  EXPECT_TRUE(server.WaitForLog("INFO, Successful Print Film Session"));
  EXPECT_TRUE(Echoes(server.port));
  EXPECT_EQ(FinalFiles(server.Home() / "filmbox" / "PDF").size(), 1u);
}

TEST(Faults, PacsDownAndPacsSilent) {
  const std::string pacsRule = "PACS|PACS|0|FALSE|9|10|10|0|0|0|0\r\n";
  const int downPort = FreePort();
  Socket silent; // accepts connections (the backlog does) and never answers
  const int silentPort = FreePort();
  ASSERT_TRUE(silent.Listen(std::to_string(silentPort)));
  for (const auto& [name, port, line] :
       {std::tuple{"down", downPort, std::string("ERROR")},
        std::tuple{"silent", silentPort, std::string("ERROR, Socket::ReadBinary, Timed out")}}) {
    SCOPED_TRACE(name);
    PrintServer server({.rules = pacsRule,
                        .settings = "[PACS]\nAET=PACS\nIP=127.0.0.1\nPORT=" +
                                    std::to_string(port) + "\n"});
    ASSERT_TRUE(server.WaitListening()) << server.Log();
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = PrintNoiseFilm(server.port, "PACS");
    EXPECT_NE(outcome.Text(), "0x0000") << server.Log();
    EXPECT_TRUE(server.WaitForLog(line)) << server.Log();
    if (port == silentPort) {
      EXPECT_GE(std::chrono::steady_clock::now() - start, 29s);
    }
    EXPECT_TRUE(Echoes(server.port));
  }
}

TEST(Faults, CupsSpoolerNotRunning) {
  TempDir nowhere;
  PrintServer server({.rules = "LASER|Office Laser|0|FALSE|9|10|10|0|0|0|0\r\n",
                      .environment = {{"CUPS_SERVER", (nowhere.path() / "cups.sock").string()}}});
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  EXPECT_NE(PrintNoiseFilm(server.port, "LASER").Text(), "0x0000") << server.Log();
  EXPECT_TRUE(server.WaitForLog("ERROR")) << server.Log();
  EXPECT_TRUE(Echoes(server.port));
}

TEST(Faults, PeerGoneBeforeItsPrintResponse) {
  PrintServer server;
  ASSERT_TRUE(server.WaitListening()) << server.Log();
  {
    Peer peer(server.port);
    ASSERT_TRUE(peer.Associate("PDF"));
    const std::string session = peer.CreateSession();
    const std::vector<std::string> boxes = peer.CreateFilmBox(session, "STANDARD\\1,1");
    ASSERT_EQ(boxes.size(), 1u);
    ASSERT_EQ(peer.SetImageBox(boxes[0], GreyImage(64, 64, 8, ByteString(4096, 90))).Text(),
              "0x0000");
    CommandSet action;
    action.field = 0x0130;
    action.requestedClass = kFilmSessionUID;
    action.requestedInstance = session;
    action.actionType = 1;
    peer.Send(PData(Peer::kPrintContext, true, action.Encode()));
  } // gone before the response
  // The response may still fit into the socket's buffer; the connection goes either way.
  EXPECT_TRUE(server.WaitForLog("INFO, Successful Print Film Session")) << server.Log();
  EXPECT_TRUE(server.WaitForLog("INFO, Close Connection: ")) << server.Log();
  EXPECT_EQ(FinalFiles(server.Home() / "filmbox" / "PDF").size(), 1u);
  EXPECT_TRUE(Echoes(server.port));
}
