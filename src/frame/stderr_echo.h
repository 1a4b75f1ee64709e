#pragma once
// The echo sink of the headless server: each log line goes to stderr, with the
// same bounded wait as the window echo, so a stalled reader never stalls the log.
#include <chrono>
#include <string_view>

#include "frame/event_log.h"

// Writes text and a line feed to fd, waiting at most bound for it to take them.
// False when the bound passed or the write failed; the rest of the line is lost.
bool EchoLine(int fd, std::string_view text, std::chrono::milliseconds bound);

// A sink that echoes to stderr with a 500 ms bound.
LogEchoSink StderrEchoSink();
