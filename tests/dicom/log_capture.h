#pragma once
// Collects the event log lines written while it lives.
#include <string>
#include <vector>

#include "frame/event_log.h"

class LogCapture {
public:
  LogCapture() {
    SetLogTarget("", "dicom tests", "");
    SetLogEchoSink([this](const std::string &line) { lines.push_back(line); });
  }
  ~LogCapture() {
    SetLogEchoSink({});
    CloseLog();
  }
  bool Contains(const std::string &text) const {
    for (const auto &line : lines)
      if (line.find(text) != std::string::npos)
        return true;
    return false;
  }
  std::vector<std::string> lines;
};
