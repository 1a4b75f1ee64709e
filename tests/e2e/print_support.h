#pragma once
// What the print tests share: corvanel-server in a program folder of its own
// with printing rules, dcmjs-dimse print jobs, and readers of the films and
// DICOM files the server writes.
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"

// Rules for the called AE titles PDF, JPG and STORE; the default rule (AETIndex 0) is the PDF one.
inline const std::string kThreeRules = "PDF|PDF|0|FALSE|9|10|10|0|0|0|0\r\n"
                                       "JPG|JPEG|0|FALSE|9|10|10|0|0|0|0\r\n"
                                       "STORE|DICOM|0|FALSE|9|10|10|0|0|0|0\r\n";

struct PrintServerSettings {
  std::string rules = kThreeRules;
  // More lines for the section CORVANEL of corvanel.ini ("Key=value\n").
  std::string settings = {};
  // A command the server runs under, such as {"prlimit", "--fsize=65536"}.
  std::vector<std::string> launcher = {};
  // More environment variables of the server (CUPS_SERVER, ...).
  std::map<std::string, std::string> environment = {};
};

class PrintServer {
public:
  explicit PrintServer(PrintServerSettings settings = {});
  ~PrintServer();

  bool WaitListening();
  std::string Log() const;
  bool WaitForLog(const std::string &text,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  int CountInLog(const std::string &text) const;
  const std::filesystem::path &Home() const { return home_.path(); }
  pid_t Pid() const { return process_->pid(); }
  // The regular files below Home() / relative, sorted by name.
  std::vector<std::filesystem::path> Files(const std::string &relative) const;
  // The folders directly below Home() / relative, sorted by name.
  std::vector<std::filesystem::path> Folders(const std::string &relative) const;

  const int port;

private:
  testing_support::TempDir home_;
  testing_support::TempDir config_; // XDG_CONFIG_HOME: the print counter
  std::unique_ptr<testing_support::ChildProcess> process_;
};

// The outcome of tests/e2e/scripts/print_job.js.
struct PrintJobResult {
  std::vector<int> statuses; // per step; -1: no response
  std::string session;
  std::vector<std::string> filmBoxes;
  std::vector<std::vector<std::string>> imageBoxes; // per film box
  std::string output;                               // everything the script wrote
};

// Runs the job (the JSON text of print_job.js) against 127.0.0.1:port.
PrintJobResult RunPrintJob(int port, const std::string &calledAETitle, const std::string &job);

// A decoded film: grey (1 component) or R, G, B samples, rows from the top.
struct Film {
  int width = 0;
  int height = 0;
  int components = 0;
  std::vector<uint8_t> pixels;
  uint8_t At(int x, int y, int component = 0) const {
    return pixels[(static_cast<size_t>(y) * width + x) * components + component];
  }
};

// Decodes a JPEG film, or the one JPEG image of a PDF film; false with the reason.
bool DecodeFilm(const std::filesystem::path &path, Film &film, std::string &error);

// dcmdump's listing of a file; exit code in *code.
std::string Dcmdump(const std::filesystem::path &path, int *code = nullptr);

// The value bytes of the last (7FE0,0010) of a DICOM file in explicit VR little endian.
std::vector<uint8_t> PixelDataOf(const std::filesystem::path &path);
