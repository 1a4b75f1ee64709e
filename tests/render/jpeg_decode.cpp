#include "jpeg_decode.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf jump;
};

void OnError(j_common_ptr cinfo) { longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

bool Decode(jpeg_decompress_struct& cinfo, ErrorManager& err, const uint8_t* data, size_t size,
            DecodedJpeg& out) {
  if (setjmp(err.jump)) return false;
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  out.jfif = cinfo.saw_JFIF_marker;
  out.progressive = cinfo.progressive_mode;
  for (int c = 0; c < cinfo.num_components && c < 3; ++c) {
    out.hSampling[c] = cinfo.comp_info[c].h_samp_factor;
    out.vSampling[c] = cinfo.comp_info[c].v_samp_factor;
  }
  jpeg_start_decompress(&cinfo);
  out.width = cinfo.output_width;
  out.height = cinfo.output_height;
  out.components = cinfo.output_components;
  out.pixels.resize(size_t(out.width) * out.height * out.components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.pixels.data() + size_t(cinfo.output_scanline) * out.width * out.components;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

} // namespace

DecodedJpeg DecodeJpeg(const uint8_t* data, size_t size) {
  DecodedJpeg out;
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = OnError;
  out.ok = Decode(cinfo, err, data, size, out);
  jpeg_destroy_decompress(&cinfo);
  return out;
}
