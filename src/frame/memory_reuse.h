#pragma once
// The allocator policy of the programs that move images: the servers and
// the print SCU.

// Makes freed memory stay with the process for the next association instead
// of going back to the system at once. Call before any thread starts.
void KeepFreedMemoryForReuse();
