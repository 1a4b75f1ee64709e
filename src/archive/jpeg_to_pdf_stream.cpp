#include "archive/jpeg_to_pdf_stream.h"

#include <cstdint>
#include <vector>

#include "archive/jpeg_image.h"
#include "frame/event_log.h"
#include "render/jpeg_encoder.h"
#include "render/pdf_writer.h"

bool JPEGToPDFStream(const JPEGImage &image, std::string &pdf) {
  pdf.clear();
  std::vector<uint8_t> pixels;
  std::vector<uint8_t> jpeg;
  std::string error;
  const int components = image.Components == 1 ? 1 : 3;
  if (!DecodeJPEGImage(image, pixels, error) ||
      !EncodeJpeg(image.Width, image.Height, components, pixels.data(), jpeg, &error)) {
    WriteLog("ERROR, JPEGToPDFStream, " + error);
    return false;
  }
  WritePdf(pdf, jpeg.data(), jpeg.size(), image.Width, image.Height, components == 3);
  return true;
}
