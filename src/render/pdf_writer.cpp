#include "render/pdf_writer.h"

#include <array>
#include <cstdio>
#include <vector>

#include "frame/atomic_file.h"
#include "render/jpeg_encoder.h"

void WritePdf(std::string& out, const uint8_t* jpeg, size_t jpegSize, int width, int height,
              bool colour) {
  const std::string w = std::to_string(width), h = std::to_string(height);
  std::array<size_t, 7> offsets{};
  auto object = [&](int number) {
    offsets[number] = out.size();
    out += std::to_string(number) + " 0 obj\n";
  };

  out += "%PDF-1.2\n";
  object(1);
  out += "<<\n/Type /Catalog\n/Pages 2 0 R\n>>\nendobj\n";
  object(2);
  out += "<<\n/Type /Pages\n/Kids [ 3 0 R ]\n/Count 1\n>>\nendobj\n";
  object(3);
  out += "<<\n/Type /Page\n/Parent 2 0 R\n/Resources\n<<\n/XObject << /Im0 4 0 R >>\n"
         "/ProcSet [ /PDF /ImageC ]\n>>\n";
  out += "/MediaBox [ 0 0 " + w + " " + h + " ]\n/Contents 5 0 R\n>>\nendobj\n";
  object(4);
  out += "<<\n/Type /XObject\n/Subtype /Image\n/Name /Im0\n/Width " + w + "\n/Height " + h +
         "\n/BitsPerComponent 8\n/Filter [/DCTDecode]\n";
  out += colour ? "/ColorSpace /DeviceRGB\n" : "/ColorSpace /DeviceGray\n";
  out += "/Length " + std::to_string(jpegSize) + " >>\nstream\n";
  out.append(reinterpret_cast<const char*>(jpeg), jpegSize);
  out += "endstream\nendobj\n";
  const std::string content = "q\n" + w + " 0 0 " + h + " 0 0 cm\n/Im0 Do\nQ\n";
  object(5);
  out += "<< /Length 6 0 R >>\nstream\n" + content + "endstream\nendobj\n";
  object(6);
  out += std::to_string(content.size()) + "\nendobj\n";

  const size_t xref = out.size();
  out += "xref\n0 7\n0000000000 65535 f \n";
  for (int k = 1; k <= 6; ++k) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offsets[k]);
    out += entry;
  }
  out += "trailer\n<<\n/Size 7\n/Root 1 0 R\n>>\nstartxref\n" + std::to_string(xref) +
         "\n%%EOF\n";
}

bool WritePdfFile(const std::string& path, const uint8_t* pixels, int width, int height,
                  bool colour, std::string* error) {
  std::vector<uint8_t> jpeg;
  if (!EncodeJpeg(width, height, colour ? 3 : 1, pixels, jpeg, error)) return false;
  std::string pdf;
  WritePdf(pdf, jpeg.data(), jpeg.size(), width, height, colour);
  return WriteFileAtomically(path, reinterpret_cast<const uint8_t*>(pdf.data()), pdf.size(),
                             error);
}
