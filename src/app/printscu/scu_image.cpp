#include "scu_image.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>

#include "dicom/buf_data.h"
#include "dicom/dcm_obj.h"
#include "dicom/transfer_syntax.h"
#include "net/print_scu.h"

namespace {

void PutSample(std::vector<uint8_t> &pixels, size_t index, int value, int bitsAllocated) {
  if (bitsAllocated == 8) {
    pixels[index] = static_cast<uint8_t>(value);
  } else {
    pixels[2 * index] = static_cast<uint8_t>(value & 0xFF);
    pixels[2 * index + 1] = static_cast<uint8_t>(value >> 8);
  }
}

// One sample of a stored grey frame as a signed number (bits stored, sign).
struct GreyReader {
  const uint8_t *data;
  int bitsAllocated, bitsStored, pixelRepresentation;
  bool bigEndian;

  int Sample(size_t index) const {
    uint32_t raw = 0;
    if (bitsAllocated == 8) {
      raw = data[index];
    } else {
      const uint8_t *p = data + 2 * index;
      raw = bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    }
    const uint32_t mask = (1u << bitsStored) - 1;
    raw &= mask;
    if (pixelRepresentation == 1 && (raw >> (bitsStored - 1)) != 0)
      return static_cast<int>(raw) - static_cast<int>(mask) - 1;
    return static_cast<int>(raw);
  }
};

bool ReadFileBytes(const std::string &path, std::vector<uint8_t> &bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Reads the file meta information; the position is left at the data set.
std::string MetaTransferSyntax(BufData &data) {
  std::string transferSyntax;
  while (data.Position() < data.Size()) {
    const size_t start = data.Position();
    DcmTag tag;
    if (!data.ReadTag(tag, true) || tag.Group != 0x0002) {
      data.Seek(start);
      break;
    }
    if (tag.Is(0x0002, 0x0010))
      transferSyntax = tag.GetString();
  }
  return transferSyntax;
}

// The first value of a decimal text element; fallback when it is absent, not a
// finite number, or (for the slope) zero.
double ValueOr(const DcmObj &obj, uint16_t group, uint16_t element, double fallback) {
  const DcmTag *tag = obj.Find(group, element);
  const double value = tag ? tag->GetFloat() : fallback;
  return std::isfinite(value) && (value != 0 || fallback == 0) ? value : fallback;
}

// Rescale, then the window (PS3.3 C.11.2.1.2) or the range of the frame, into
// 12 bits.
void WindowIntoTwelveBits(const GreyReader &reader, size_t count, const DcmObj &obj,
                          std::vector<uint8_t> &out) {
  const double slope = ValueOr(obj, 0x0028, 0x1053, 1.0);
  const double intercept = ValueOr(obj, 0x0028, 0x1052, 0.0);
  double center = ValueOr(obj, 0x0028, 0x1050, 0.0);
  double width = ValueOr(obj, 0x0028, 0x1051, 0.0);
  if (width < 1) {
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (size_t i = 0; i < count; ++i) {
      const double value = reader.Sample(i) * slope + intercept;
      low = std::min(low, value);
      high = std::max(high, value);
    }
    width = std::max(high - low, 1.0) + 1;
    center = low + width / 2; // low maps to 0, high to the top
  }
  out.assign(count * 2, 0);
  for (size_t i = 0; i < count; ++i) {
    const double value = reader.Sample(i) * slope + intercept;
    // Width 1 is a threshold.
    const double scaled = ((value - (center - 0.5)) / std::max(width - 1, 1e-9) + 0.5) * 4095;
    PutSample(out, i, static_cast<int>(std::lround(std::clamp(scaled, 0.0, 4095.0))), 16);
  }
}

} // namespace

ScuImage MakeTestPattern(bool colour, int bits, int columns, int rows) {
  ScuImage image;
  image.Columns = columns;
  image.Rows = rows;
  const size_t count = size_t(columns) * rows;
  if (colour) {
    static const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                        {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    image.Samples = 3;
    image.Photometric = "RGB";
    image.Pixels.resize(count * 3);
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x) {
        const size_t index = size_t(y) * columns + x;
        const int ramp = columns > 1 ? x * 255 / (columns - 1) : 0;
        for (int c = 0; c < 3; ++c)
          image.Pixels[c * count + index] =
              y < rows * 2 / 3 ? kBars[x * 8 / columns][c] : static_cast<uint8_t>(ramp);
      }
    return image;
  }
  image.BitsAllocated = bits > 8 ? 16 : 8;
  image.BitsStored = bits;
  image.Pixels.resize(count * (image.BitsAllocated / 8));
  const int top = (1 << bits) - 1;
  const int square = std::max(8, columns / 16);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      const int ramp = columns > 1 ? static_cast<int>(int64_t(x) * top / (columns - 1)) : 0;
      const int checker = ((x / square + y / square) & 1) ? top : 0;
      PutSample(image.Pixels, size_t(y) * columns + x, y < rows / 2 ? ramp : checker,
                image.BitsAllocated);
    }
  return image;
}

bool LoadDicomImage(const std::string &path, ScuImage &image, std::string &error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) {
    error = "cannot read the file";
    return false;
  }
  if (bytes.size() < 132 || std::string(bytes.begin() + 128, bytes.begin() + 132) != "DICM") {
    error = "not a DICOM file (no DICM prefix)";
    return false;
  }
  BufData meta;
  meta.Assign(std::move(bytes));
  meta.Seek(132);
  std::string transferSyntax = MetaTransferSyntax(meta);
  if (transferSyntax.empty())
    transferSyntax = ts::ImplicitLittleEndian;
  const bool bigEndian = transferSyntax == ts::ExplicitBigEndian;
  if (transferSyntax != ts::ImplicitLittleEndian && transferSyntax != ts::ExplicitLittleEndian &&
      !bigEndian) {
    error = "transfer syntax " + transferSyntax + " is compressed; only uncompressed files print";
    return false;
  }
  DcmObj obj;
  obj.TransferSyntax = transferSyntax;
  obj.Explicit = transferSyntax != ts::ImplicitLittleEndian;
  obj.BigEndian = bigEndian;
  const size_t start = meta.Position();
  BufData data(bigEndian);
  data.Assign(meta.TakeBytes());
  data.Seek(start);
  if (!data.ReadObj(obj)) {
    error = "the data set cannot be decoded";
    return false;
  }

  const int columns = obj.GetUShort(0x0028, 0x0011), rows = obj.GetUShort(0x0028, 0x0010);
  const int samples = obj.GetUShort(0x0028, 0x0002);
  const int bitsAllocated = obj.GetUShort(0x0028, 0x0100);
  const int bitsStored = obj.GetUShort(0x0028, 0x0101);
  const int pixelRepresentation = obj.GetUShort(0x0028, 0x0103);
  const std::string photometric = obj.GetString(0x0028, 0x0004);
  const DcmTag *pixelData = obj.Find(0x7FE0, 0x0010);
  if (!pixelData || pixelData->UndefinedLength() || columns == 0 || rows == 0) {
    error = "no uncompressed pixel data";
    return false;
  }
  const size_t count = size_t(columns) * rows;
  image = ScuImage{};
  image.Columns = columns;
  image.Rows = rows;
  if (samples == 3 && photometric == "RGB" && bitsAllocated == 8) {
    if (pixelData->Length < count * 3) {
      error = "pixel data shorter than one frame";
      return false;
    }
    image.Samples = 3;
    image.Photometric = "RGB";
    image.Pixels.resize(count * 3);
    const uint8_t *src = pixelData->Data.get();
    if (obj.GetUShort(0x0028, 0x0006) == 1)
      std::copy(src, src + count * 3, image.Pixels.begin());
    else
      for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c)
          image.Pixels[c * count + i] = src[3 * i + c];
    return true;
  }
  const bool grey = samples == 1 && (photometric == "MONOCHROME1" || photometric == "MONOCHROME2");
  if (!grey || (bitsAllocated != 8 && bitsAllocated != 16) || bitsStored < 1 ||
      bitsStored > bitsAllocated) {
    error = "photometric interpretation " + photometric + " with " + std::to_string(bitsAllocated) +
            " bits allocated is not printable";
    return false;
  }
  if (pixelData->Length < count * (bitsAllocated / 8)) {
    error = "pixel data shorter than one frame";
    return false;
  }
  image.Photometric = photometric;
  const GreyReader reader{pixelData->Data.get(), bitsAllocated, bitsStored, pixelRepresentation,
                          pixelData->BigEndian};
  const bool plainEightBits = bitsAllocated == 8 && bitsStored == 8 && pixelRepresentation == 0 &&
                              !obj.Find(0x0028, 0x1051) && !obj.Find(0x0028, 0x1053);
  if (plainEightBits) {
    image.Pixels.assign(pixelData->Data.get(), pixelData->Data.get() + count);
    return true;
  }
  image.BitsAllocated = 16;
  image.BitsStored = 12;
  WindowIntoTwelveBits(reader, count, obj, image.Pixels);
  return true;
}

void BuildImageBoxDataSet(const ScuImage &image, uint16_t position, DcmObj &dataSet) {
  dataSet.Add(new DcmTag(0x2020, 0x0010, position, "US"));
  dataSet.Add(new DcmTag(0x2020, 0x0020, std::string_view("NORMAL"), "CS"));
  dataSet.Add(
      new DcmTag(0x2020, image.Colour() ? 0x0111 : 0x0110, kUndefinedLength, nullptr, "SQ"));
  dataSet.Add(ItemTag(0xE000, kUndefinedLength));
  dataSet.Add(new DcmTag(0x0028, 0x0002, static_cast<unsigned short>(image.Samples), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0004, std::string_view(image.Photometric), "CS"));
  if (image.Colour())
    dataSet.Add(new DcmTag(0x0028, 0x0006, static_cast<unsigned short>(1), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0010, static_cast<unsigned short>(image.Rows), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0011, static_cast<unsigned short>(image.Columns), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0034, std::string_view("1\\1"), "IS"));
  const int highBit = image.BitsStored - 1;
  dataSet.Add(new DcmTag(0x0028, 0x0100, static_cast<unsigned short>(image.BitsAllocated), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0101, static_cast<unsigned short>(image.BitsStored), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0102, static_cast<unsigned short>(highBit), "US"));
  dataSet.Add(new DcmTag(0x0028, 0x0103, static_cast<unsigned short>(0), "US"));
  dataSet.Add(new DcmTag(0x7FE0, 0x0010, static_cast<uint32_t>(image.Pixels.size()),
                         image.Pixels.data(), image.BitsAllocated == 8 ? "OB" : "OW"));
  dataSet.Add(ItemTag(0xE00D, 0));
  dataSet.Add(ItemTag(0xE0DD, 0));
}
