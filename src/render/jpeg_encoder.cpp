#include "render/jpeg_encoder.h"

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

// Holds no C++ objects with destructors, so the jump out of the library is safe.
bool Compress(jpeg_compress_struct& cinfo, JpegErrorManager& err, Destination& dest, int width,
              int height, int components, const uint8_t* pixels) {
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
  jpeg_start_compress(&cinfo, TRUE);
  const size_t stride = static_cast<size_t>(width) * components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + cinfo.next_scanline * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
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

  const bool ok = Compress(cinfo, err, dest, width, height, components, pixels);
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
