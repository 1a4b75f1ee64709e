#pragma once
// Table lookup over a run of bytes, the last step of every tone-mapped pixel.
#include <cstddef>
#include <cstdint>

// Replaces every byte of data[0, count) by table[byte] (256 entries).
void LookUpBytes(uint8_t* data, size_t count, const uint8_t* table);
