#include "frame/memory_reuse.h"

#include <malloc.h>

namespace {

// Blocks up to this size come from the allocator's arenas, not from mmap: an
// image value (512 KB for a 512 x 512 16-bit image, 32 MB for 4096 x 4096)
// then reuses memory that an earlier image box freed. This is glibc's largest
// threshold for 64-bit systems.
constexpr int kMmapThreshold = 32 << 20;

// Free memory an arena keeps at its top. By default glibc returns all but
// about twice the mmap threshold, so every film box's images (10 MB for 20
// images of 512 x 512 x 16 bits) were faulted in afresh, page by page; this
// keeps several films' worth and still returns what one huge film left.
constexpr int kTrimThreshold = 64 << 20;

} // namespace

void KeepFreedMemoryForReuse() {
  mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}
