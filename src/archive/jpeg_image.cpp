#include "archive/jpeg_image.h"

#include <fstream>

#include "render/jpeg_error.h"

namespace {

// A film at 300 dpi is far below these; they bound what a damaged or foreign
// file can make us read or allocate.
constexpr std::streamoff kMaxFileBytes = 256ll << 20;
constexpr uint64_t kMaxDecodedBytes = 1ull << 30;

std::string PhotometricOf(const jpeg_decompress_struct &cinfo) {
  if (cinfo.num_components == 1)
    return "MONOCHROME2";
  if (cinfo.num_components != 3)
    return {};
  if (cinfo.jpeg_color_space == JCS_RGB)
    return "RGB";
  if (cinfo.jpeg_color_space != JCS_YCbCr)
    return {};
  const jpeg_component_info *c = cinfo.comp_info;
  const bool subsampled =
      c[0].h_samp_factor != c[1].h_samp_factor || c[0].v_samp_factor != c[1].v_samp_factor ||
      c[0].h_samp_factor != c[2].h_samp_factor || c[0].v_samp_factor != c[2].v_samp_factor;
  return subsampled ? "YBR_FULL_422" : "YBR_FULL";
}

// Reads the header (and with pixels given, the whole image). Holds no C++
// objects with destructors across the library calls, so the jump out is safe.
bool Decompress(jpeg_decompress_struct &cinfo, JpegErrorManager &err,
                const std::vector<uint8_t> &data, JPEGImage &image, std::vector<uint8_t> *pixels,
                std::string &error) {
  if (setjmp(err.jump)) {
    error = err.message;
    return false;
  }
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  image.Width = static_cast<int>(cinfo.image_width);
  image.Height = static_cast<int>(cinfo.image_height);
  image.Components = cinfo.num_components;
  image.Photometric = PhotometricOf(cinfo);
  image.Baseline = !cinfo.progressive_mode && !cinfo.arith_code && cinfo.data_precision == 8;
  if (pixels == nullptr)
    return true;
  cinfo.out_color_space = cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const uint64_t rowBytes = uint64_t(cinfo.output_width) * cinfo.output_components;
  if (rowBytes * cinfo.output_height > kMaxDecodedBytes) {
    error = "image too large to decode";
    return false;
  }
  pixels->resize(rowBytes * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels->data() + rowBytes * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// Fills image's header fields from data.
bool Run(const std::vector<uint8_t> &data, JPEGImage &image, std::vector<uint8_t> *pixels,
         std::string &error) {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  cinfo.err = UseJpegErrorManager(err);
  jpeg_create_decompress(&cinfo);
  const bool ok = Decompress(cinfo, err, data, image, pixels, error);
  jpeg_destroy_decompress(&cinfo);
  return ok;
}

} // namespace

bool LoadJPEGImage(const std::string &path, JPEGImage &image, std::string &error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open the file";
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > kMaxFileBytes) {
    error = "file size " + std::to_string(size) + " out of range";
    return false;
  }
  image.Data.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char *>(image.Data.data()), size)) {
    error = "cannot read the file";
    return false;
  }
  return Run(image.Data, image, nullptr, error);
}

bool DecodeJPEGImage(const JPEGImage &image, std::vector<uint8_t> &pixels, std::string &error) {
  JPEGImage header;
  return Run(image.Data, header, &pixels, error);
}
