#pragma once
// Storage for raster pixels. A film page runs to tens of megabytes: fresh
// memory of that size costs the kernel a pass to zero it on first touch, and a
// vector would zero it once more. So new bytes are left unset (a raster's
// creator writes each pixel), large blocks are backed by huge pages, and the
// last few large blocks freed are kept for the next raster of the same size.
#include <cstddef>
#include <cstdint>
#include <vector>

// Bytes from the pixel store, or std::bad_alloc.
void* AllocatePixels(std::size_t bytes);
// Gives back what AllocatePixels returned for that many bytes.
void FreePixels(void* block, std::size_t bytes) noexcept;

template <typename T> struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <typename U> PixelAllocator(const PixelAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocatePixels(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { FreePixels(p, n * sizeof(T)); }
  // Default-initialises: the bytes a vector adds by resize stay unset.
  template <typename U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
  template <typename U, typename... Args> void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(static_cast<Args&&>(args)...);
  }
  template <typename U> bool operator==(const PixelAllocator<U>&) const noexcept { return true; }
};

using PixelBuffer = std::vector<uint8_t, PixelAllocator<uint8_t>>;
