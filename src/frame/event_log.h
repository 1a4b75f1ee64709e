#pragma once
// The event log: one text file per day, every line also echoed to a sink
// (the operator window, or stderr for the headless server).
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

// Process-wide log level: 0 errors and warnings, 1 adds association and print
// job lines, 2 adds PDU and data set dumps. -1 (an unknown configured value)
// filters like 0.
extern std::atomic<int> LogLevel;

// True when a line of the given level is to be written: level-1 lines only
// above 0, level-2 lines only above 1. Errors and warnings use level 0.
inline bool LogEnabled(int level) { return level <= 0 || LogLevel.load() >= level; }

// Each non-empty argument replaces that field of the log target.
void SetLogTarget(const std::string &logFile, const std::string &windowTitle,
                  const std::string &windowClass);

// Appends "hh:nn:ss, " + text + "\n" to the log file and echoes the text.
// Never fails towards the caller; lines before the first target or after
// CloseLog are dropped.
void WriteLog(std::string_view text);

// Releases the log target; later WriteLog calls do nothing.
void CloseLog();

// Receives each echoed line (without time and line end) while a window class
// or title is set. The sink bounds its own wait (at most 500 ms); it runs while
// the writer holds the log, so it must not write log lines itself.
using LogEchoSink = std::function<void(const std::string &text)>;
void SetLogEchoSink(LogEchoSink sink);

// Deletes the files in folder whose lower-case extension equals extension
// (dot included) and whose last write is older than days.
void PurgeOldFiles(const std::string &folder, const std::string &extension, int days);

// "major.minor.release" of the running program; empty when unknown.
std::string FileVersionText(const std::string &path);

// Resident set size in decimal megabytes; 0 when it cannot be read.
long UsedMemoryMB();
