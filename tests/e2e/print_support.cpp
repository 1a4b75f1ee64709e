#include "print_support.h"

#include <algorithm>
#include <csignal>
#include <sstream>
#include <thread>

#include "archive/jpeg_image.h"

using namespace testing_support;
namespace fs = std::filesystem;

PrintServer::PrintServer(PrintServerSettings settings) : port(FreePort()) {
  WriteFile(home_.path() / "corvanel.ini",
            "[CORVANEL]\nPort=" + std::to_string(port) + "\nLogLevel=1\n" + settings.settings);
  WriteFile(home_.path() / "printers.txt", settings.rules);
  std::vector<std::string> argv = settings.launcher;
  argv.push_back(BuildPath("corvanel-server"));
  std::map<std::string, std::string> environment = settings.environment;
  environment["CORVANEL_HOME"] = home_.path().string();
  environment["XDG_CONFIG_HOME"] = config_.path().string();
  process_ = std::make_unique<ChildProcess>(argv, environment);
}

PrintServer::~PrintServer() { process_->Stop(SIGTERM, std::chrono::seconds(20)); }

bool PrintServer::WaitListening() {
  return WaitForLog("INFO, Initialize port: " + std::to_string(port)) && WaitForPort(port);
}

std::string PrintServer::Log() const { return process_->Stderr(); }

bool PrintServer::WaitForLog(const std::string &text, std::chrono::milliseconds timeout) const {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (Log().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

int PrintServer::CountInLog(const std::string &text) const {
  const std::string log = Log();
  int count = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
    ++count;
  return count;
}

namespace {
std::vector<fs::path> Entries(const fs::path &folder, bool folders) {
  std::vector<fs::path> found;
  std::error_code error;
  for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
       it.increment(error))
    if (folders ? it->is_directory() : it->is_regular_file())
      found.push_back(it->path());
  std::sort(found.begin(), found.end());
  return found;
}
} // namespace

std::vector<fs::path> PrintServer::Files(const std::string &relative) const {
  return Entries(home_.path() / relative, false);
}

std::vector<fs::path> PrintServer::Folders(const std::string &relative) const {
  return Entries(home_.path() / relative, true);
}

PrintJobResult RunPrintJob(int port, const std::string &calledAETitle, const std::string &job) {
  TempDir folder;
  const fs::path jobFile = folder.path() / "job.json";
  WriteFile(jobFile, job);
  PrintJobResult result;
  RunCommand({"node", SourcePath("tests/e2e/scripts/print_job.js"), std::to_string(port),
              calledAETitle, jobFile.string()},
             &result.output, std::chrono::seconds(120));
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "statuses") {
      for (std::string status; words >> status;)
        result.statuses.push_back(status == "-" ? -1 : std::stoi(status));
    } else if (key == "session") {
      words >> result.session;
    } else if (key == "filmbox") {
      result.filmBoxes.emplace_back();
      words >> result.filmBoxes.back();
    } else if (key == "imagebox") {
      size_t box = 0;
      std::string uid;
      words >> box >> uid;
      if (result.imageBoxes.size() <= box)
        result.imageBoxes.resize(box + 1);
      result.imageBoxes[box].push_back(uid);
    }
  }
  return result;
}

bool DecodeFilm(const fs::path &path, Film &film, std::string &error) {
  fs::path jpeg = path;
  TempDir extracted;
  if (path.extension() == ".pdf") {
    std::string output;
    if (RunCommand({"pdfimages", "-j", path.string(), (extracted.path() / "film").string()},
                   &output) != 0) {
      error = "pdfimages: " + output;
      return false;
    }
    const std::vector<fs::path> images = Entries(extracted.path(), false);
    if (images.size() != 1 || images.front().extension() != ".jpg") {
      error = "the PDF holds " + std::to_string(images.size()) + " images, not one JPEG";
      return false;
    }
    jpeg = images.front();
  }
  JPEGImage image;
  if (!LoadJPEGImage(jpeg.string(), image, error) || !DecodeJPEGImage(image, film.pixels, error))
    return false;
  film.width = image.Width;
  film.height = image.Height;
  film.components = image.Components;
  return true;
}

std::string Dcmdump(const fs::path &path, int *code) {
  std::string output;
  const int exit = RunCommand({"dcmdump", "-M", "+L", path.string()}, &output);
  if (code)
    *code = exit;
  return output;
}

std::vector<uint8_t> PixelDataOf(const fs::path &path) {
  const std::string bytes = ReadFile(path);
  // (7FE0,0010) OW, two reserved bytes, a 4-byte length.
  const std::string marker("\xE0\x7F\x10\x00OW\0\0", 8);
  const size_t at = bytes.rfind(marker);
  if (at == std::string::npos || at + 12 > bytes.size())
    return {};
  const auto *p = reinterpret_cast<const uint8_t *>(bytes.data()) + at + 8;
  const size_t length = p[0] | p[1] << 8 | p[2] << 16 | size_t{p[3]} << 24;
  if (at + 12 + length > bytes.size())
    return {};
  return {p + 4, p + 4 + length};
}
