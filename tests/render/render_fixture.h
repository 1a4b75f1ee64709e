#pragma once
// Shared pieces of the rendering tests: film boxes with synthetic images and a
// capture of the log lines.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame/event_log.h"
#include "print/film_box.h"

namespace render_test {

// A grey image whose pixel (x, y) is (x + 2 y) mod 256, or a colour image with
// R = x, G = y, B = 255 - x (mod 256).
inline std::unique_ptr<ImageBox> Image(int columns, int rows, bool rgb = false) {
  auto box = std::make_unique<ImageBox>();
  box->Columns = static_cast<uint16_t>(columns);
  box->Rows = static_cast<uint16_t>(rows);
  box->BitsStored = 8;
  box->BitsAllocated = 8;
  box->IsRGB = rgb;
  box->SamplesPerPixel = rgb ? 3 : 1;
  box->PhotometricInterpretation = rgb ? "RGB" : "MONOCHROME2";
  box->Pixels.resize(size_t(columns) * rows * (rgb ? 3 : 1));
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      const size_t at = size_t(y) * columns + x;
      if (rgb) {
        box->Pixels[3 * at] = uint8_t(x);
        box->Pixels[3 * at + 1] = uint8_t(y);
        box->Pixels[3 * at + 2] = uint8_t(255 - x);
      } else {
        box->Pixels[at] = uint8_t(x + 2 * y);
      }
    }
  return box;
}

inline std::unique_ptr<ImageBox> EmptyImage() { return std::make_unique<ImageBox>(); }

// A film box of C x R cells, each with a 512 x 512 grey image unless told otherwise.
inline std::unique_ptr<FilmBox> Film(int columns, int rows, int images = -1, int size = 512) {
  auto film = std::make_unique<FilmBox>();
  film->Columns = columns;
  film->Rows = rows;
  film->FilmSizeID = "14INX17IN";
  film->FilmOrientation = "PORTRAIT";
  if (images < 0) images = columns * rows;
  for (int i = 0; i < images; ++i) film->ImageBoxes.push_back(Image(size, size));
  return film;
}

// Collects every log line written while it lives, at log level 2.
class LogCapture {
public:
  LogCapture() {
    LogLevel = 2;
    SetLogEchoSink([this](const std::string& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
    });
    SetLogTarget("", "render test", "");
  }
  ~LogCapture() {
    CloseLog();
    SetLogEchoSink(nullptr);
    LogLevel = 0;
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool Has(const std::string& text) const {
    for (const std::string& line : Lines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  std::string All() const {
    std::string all;
    for (const std::string& line : Lines()) all += line + "\n";
    return all;
  }

private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

} // namespace render_test
