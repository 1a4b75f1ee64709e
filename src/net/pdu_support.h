#pragma once
// Helpers of the PDU readers and writers (not part of the interface).
#include <cstdint>
#include <string>

#include "frame/event_log.h"

// One dump line: label + value in decimal.
inline void LogField(const char *label, uint32_t value) { WriteLog(label + std::to_string(value)); }

// True when an item extent fits the bytes its enclosing item has left; else
// logs the protocol error.
bool ItemFits(uint32_t extent, uint32_t room, const char *reader);
