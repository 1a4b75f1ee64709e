#include "render/pixel_storage.h"

#include <mutex>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace {

// Blocks from this size on are aligned and sized to whole huge pages and kept
// for reuse when freed.
constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBlock = std::size_t{8} << 20;
// The blocks kept: enough for the pages of a few films of the same size
// composed one after the other or side by side.
constexpr int kKeptBlocks = 4;

struct KeptBlock {
  void* block = nullptr;
  std::size_t size = 0;
};

std::mutex keptMutex;
KeptBlock kept[kKeptBlocks];

std::size_t LargeBlockSize(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

} // namespace

void* AllocatePixels(std::size_t bytes) {
  if (bytes < kLargeBlock) return ::operator new(bytes);
  const std::size_t size = LargeBlockSize(bytes);
  {
    std::lock_guard lock(keptMutex);
    for (KeptBlock& k : kept)
      if (k.block && k.size == size) return std::exchange(k.block, nullptr);
  }
  void* block = ::operator new(size, std::align_val_t{kHugePage});
  madvise(block, size, MADV_HUGEPAGE);
  return block;
}

void FreePixels(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (bytes < kLargeBlock) return ::operator delete(block);
  const std::size_t size = LargeBlockSize(bytes);
  {
    std::lock_guard lock(keptMutex);
    for (KeptBlock& k : kept)
      if (!k.block) {
        k = {block, size};
        return;
      }
  }
  ::operator delete(block, std::align_val_t{kHugePage});
}
