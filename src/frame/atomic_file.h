#pragma once
// Writes a file under a temporary name in its folder and renames it when it is
// complete, so a crash or a full disk never leaves a truncated file under the
// final name. A failed write removes the temporary file. A file that is
// replaced keeps its permissions; a new one gets 0666 less the umask.
#include <cstddef>
#include <cstdint>
#include <string>

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size,
                         std::string* error = nullptr);
