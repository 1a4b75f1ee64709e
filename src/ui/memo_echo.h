#pragma once
// The echo of log lines into the main window's Memo1.
#include <QPlainTextEdit>

#include "frame/event_log.h"

// Memo1 never holds more than this many lines; the oldest go first.
inline constexpr int kMemoMaxLines = 500;

// Appends text as a new line of memo (whose block limit drops the oldest lines).
void AppendMemoLine(QPlainTextEdit *memo, const QString &text);

// A sink that appends each line to memo on memo's thread. From another thread
// it waits at most 500 ms for the window to take the line, so a busy window
// never stalls the server for long. memo must outlive the sink's registration.
LogEchoSink MemoEchoSink(QPlainTextEdit *memo);
