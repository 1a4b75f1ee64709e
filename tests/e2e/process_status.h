#pragma once
// Resident memory, threads and open handles of a process, from /proc.
#include <sys/types.h>

struct ProcessStatus {
  long residentKB = -1;
  int threads = -1;
  int handles = -1;
};

ProcessStatus StatusOf(pid_t pid);

// Resident memory says nothing about leaks under AddressSanitizer, whose
// quarantine keeps freed memory resident.
#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kResidentMemoryTells = false;
#else
inline constexpr bool kResidentMemoryTells = true;
#endif
