#include "render/jpeg_encoder.h"

#include <algorithm>
#include <cstring>

#include "frame/atomic_file.h"
#include "render/jpeg_error.h"

namespace {

constexpr size_t kChunk = 16384;

// Destination that collects the compressed data in 16384-byte chunks.
struct Destination {
  jpeg_destination_mgr base;
  std::vector<uint8_t>* out;
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->out->resize(kChunk);
  dest->base.next_output_byte = dest->out->data();
  dest->base.free_in_buffer = kChunk;
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  const size_t used = dest->out->size();
  dest->out->resize(used + kChunk);
  dest->base.next_output_byte = dest->out->data() + used;
  dest->base.free_in_buffer = kChunk;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<Destination*>(cinfo->dest);
  dest->out->resize(dest->out->size() - dest->base.free_in_buffer);
}

// The width rounded up to whole 8 x 8 blocks.
size_t BlockWidth(int width) {
  return (static_cast<size_t>(width) + DCTSIZE - 1) / DCTSIZE * DCTSIZE;
}

// One grey iMCU row (8 rows) for jpeg_write_raw_data: the rows of the image
// from y, with the blocks at the right and bottom edges filled by repeating the
// last column and row, as the library's own edge expansion does. Rows are read in
// place when the width is whole blocks, else copied into strip.
void GreyBlockRows(const uint8_t* pixels, int width, int height, int y, uint8_t* strip,
                   JSAMPROW rows[DCTSIZE]) {
  const size_t paddedWidth = BlockWidth(width);
  for (int i = 0; i < DCTSIZE; ++i) {
    const uint8_t* source = pixels + static_cast<size_t>(std::min(y + i, height - 1)) * width;
    if (paddedWidth == static_cast<size_t>(width)) {
      rows[i] = const_cast<JSAMPROW>(source);
      continue;
    }
    uint8_t* row = strip + i * paddedWidth;
    std::memcpy(row, source, width);
    std::memset(row + width, source[width - 1], paddedWidth - width);
    rows[i] = row;
  }
}

// Holds no C++ objects with destructors, so the jump out of the library is safe.
// strip: DCTSIZE rows of the width rounded up to whole blocks, for grey images.
bool Compress(jpeg_compress_struct& cinfo, JpegErrorManager& err, Destination& dest, int width,
              int height, int components, const uint8_t* pixels, uint8_t* strip) {
  if (setjmp(err.jump)) return false;
  jpeg_create_compress(&cinfo);
  cinfo.dest = &dest.base;
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  for (int c = 0; c < cinfo.num_components; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  // The library's colour conversion of a single grey component is a copy, one
  // byte at a time; raw data skips it and gives the same file.
  cinfo.raw_data_in = components == 1;
  jpeg_start_compress(&cinfo, TRUE);
  if (cinfo.raw_data_in) {
    JSAMPROW rows[DCTSIZE];
    JSAMPARRAY planes[1] = {rows};
    while (cinfo.next_scanline < cinfo.image_height) {
      GreyBlockRows(pixels, width, height, static_cast<int>(cinfo.next_scanline), strip, rows);
      jpeg_write_raw_data(&cinfo, planes, DCTSIZE);
    }
  } else {
    const size_t stride = static_cast<size_t>(width) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(pixels + cinfo.next_scanline * stride);
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

} // namespace

bool EncodeJpeg(int width, int height, int components, const uint8_t* pixels,
                std::vector<uint8_t>& jpeg, std::string* error) {
  jpeg.clear();
  if (width < 1 || height < 1 || (components != 1 && components != 3) || pixels == nullptr) {
    if (error) *error = "EncodeJpeg, no image to encode";
    return false;
  }
  jpeg_compress_struct cinfo{};
  JpegErrorManager err{};
  cinfo.err = UseJpegErrorManager(err);
  Destination dest{};
  dest.base.init_destination = InitDestination;
  dest.base.empty_output_buffer = EmptyBuffer;
  dest.base.term_destination = TermDestination;
  dest.out = &jpeg;
  std::vector<uint8_t> strip;
  if (components == 1 && width % DCTSIZE != 0)
    strip.resize(DCTSIZE * BlockWidth(width));

  const bool ok = Compress(cinfo, err, dest, width, height, components, pixels, strip.data());
  jpeg_destroy_compress(&cinfo);
  if (!ok) {
    jpeg.clear();
    if (error) *error = std::string("EncodeJpeg, ") + err.message;
  }
  return ok;
}

bool WriteJpegFile(const std::string& path, const uint8_t* pixels, int width, int height,
                   bool colour, std::string* error) {
  std::vector<uint8_t> jpeg;
  if (!EncodeJpeg(width, height, colour ? 3 : 1, pixels, jpeg, error)) return false;
  return WriteFileAtomically(path, jpeg.data(), jpeg.size(), error);
}
