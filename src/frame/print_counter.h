#pragma once
// The print counter: the number of film boxes output since it was first
// written, kept in base 36 (digits 0-9, a-z) in the text file
// ${XDG_CONFIG_HOME:-$HOME/.config}/veltrano/corvanel/PrintCount. An increment
// reads and writes under a process mutex and an flock on the file, so threads
// and processes never lose one.
#include <cstdint>
#include <string>
#include <string_view>

// Path of the counter file.
std::string PrintCountPath();

// The stored count; 0 when the file is missing, unreadable or empty.
int64_t ReadPrintCount();

// Stores read count + 1 (creating folder and file when missing) and returns the
// new count; -1, with one log line, when the file cannot be written.
int64_t IncrementPrintCount();

// Base-36 text, lower-case letters ("z" is 35, "10" is 36).
std::string FormatBase36(uint64_t value);
// Skips leading blanks and stops at the first character that is no base-36
// digit (either case); saturates instead of overflowing.
uint64_t ParseBase36(std::string_view text);
