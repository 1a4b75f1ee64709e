#pragma once
// Binary values padded the way PS3.5 7.1 wants them for OB and fragments.
#include <cstdint>
#include <memory>

#include "dicom/dcm_tag.h"

// An element holding size bytes of data, padded to even length with a zero
// byte (DcmTag's own padding is a blank, right for texts only).
inline std::unique_ptr<DcmTag> ZeroPaddedValue(uint16_t group, uint16_t element, const void *data,
                                               size_t size, std::string_view vr = {}) {
  auto tag = std::make_unique<DcmTag>(group, element, static_cast<uint32_t>(size), data, vr);
  if (size % 2 != 0)
    tag->Data[tag->Length - 1] = 0;
  return tag;
}
