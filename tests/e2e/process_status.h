#pragma once
// Resident memory, threads and open handles of a process, from /proc.
#include <sys/types.h>

struct ProcessStatus {
  long residentKB = -1;
  int threads = -1;
  int handles = -1;
};

ProcessStatus StatusOf(pid_t pid);
